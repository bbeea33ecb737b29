#include <tovradocs/dokumentz.h>

#include <QTest>

using tovradocs::CollectionError;
using tovradocs::Dokumentz;

class tst_Dokumentz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void positionsAndKeysFollowInsertionOrder()
    {
        Dokumentz docs;
        docs.Add(1, QStringLiteral("a.jpg"), QStringLiteral("first"), 1, 1, 10, 100, QStringLiteral("k1"));
        docs.Add(2, QStringLiteral("b.avi"), QStringLiteral("second"), 1, 2, 10, 100);
        docs.Add(3, QStringLiteral("c.pdf"), QStringLiteral("third"), 1, 3, 10, 100, QStringLiteral("k3"));
        QCOMPARE(docs.Count(), 3);
        QCOMPARE(docs.Item(1)->FileName, QStringLiteral("a.jpg"));
        QCOMPARE(docs.Item(3)->id, 3);
        QCOMPARE(docs.Item(QStringLiteral("k3"))->Comments, QStringLiteral("third"));

        QStringList order;
        for (const auto &doc : docs)
            order << doc.FileName;
        QCOMPARE(order, QStringList({"a.jpg", "b.avi", "c.pdf"}));

        // Removing by key closes the gap; later positions move up by one.
        auto kept = docs.Item(QStringLiteral("k1"));
        docs.Remove(QStringLiteral("k1"));
        QCOMPARE(docs.Count(), 2);
        QCOMPARE(docs.Item(1)->FileName, QStringLiteral("b.avi"));
        QCOMPARE(kept->FileName, QStringLiteral("a.jpg")); // a handed-out document outlives removal
        docs.Remove(2);
        QCOMPARE(docs.Count(), 1);
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Item(QStringLiteral("k3")));

        // A removed key may be used again.
        docs.Add(4, QStringLiteral("d.jpg"), {}, 1, 1, 10, 100, QStringLiteral("k1"));
        QCOMPARE(docs.Item(QStringLiteral("k1"))->id, 4);
        docs.Clear();
        QCOMPARE(docs.Count(), 0);
        QVERIFY(docs.begin() == docs.end());
    }

    void documentsWithoutKeysNeverClash()
    {
        Dokumentz docs;
        docs.Add(1, QStringLiteral("a.jpg"), {}, 1, 1, 0, 0);
        docs.Add(2, QStringLiteral("b.jpg"), {}, 1, 1, 0, 0);
        docs.Add(3, QStringLiteral("c.jpg"), {}, 1, 1, 0, 0, QString());
        QCOMPARE(docs.Count(), 3);
        QCOMPARE(docs.Item(2)->FileName, QStringLiteral("b.jpg"));
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Item(QString()));
    }

    void errorsLeaveTheCollectionUnchanged()
    {
        Dokumentz docs;
        docs.Add(1, QStringLiteral("a.jpg"), {}, 1, 1, 0, 0, QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Add(2, QStringLiteral("b.jpg"), {}, 1, 1, 0, 0, QStringLiteral("x")));
        QCOMPARE(docs.Count(), 1);
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Item(0));
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Item(2));
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Item(QStringLiteral("y")));
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Remove(5));
        QVERIFY_THROWS_EXCEPTION(CollectionError, docs.Remove(QStringLiteral("y")));
        QCOMPARE(docs.Count(), 1);
        QCOMPARE(docs.Item(QStringLiteral("x"))->FileName, QStringLiteral("a.jpg"));
    }
};

QTEST_APPLESS_MAIN(tst_Dokumentz)
#include "tst_dokumentz.moc"

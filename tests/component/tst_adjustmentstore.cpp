// Adjustments and marks kept per entry, in the host's table or beside the
// library, across restarts of the host, never touching the picture file.

#include "component/adjustmentstore.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/shownpicture.h"
#include "host/referencehost.h"
#include "support/dicomfixtures.h"
#include "support/pgserver.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

// A host whose database was made before the adjustments table existed.
class HostWithoutTable : public RecordingDataLink
{
public:
    using RecordingDataLink::RecordingDataLink;
    bool FillRecordSet(std::unique_ptr<Recordset> &rs, const QString &sql) override
    {
        if (sql.contains(QLatin1String("PictureAdjustments"), Qt::CaseInsensitive))
            throw HostError(3078, QStringLiteral("The table 'PictureAdjustments' cannot be found."));
        return RecordingDataLink::FillRecordSet(rs, sql);
    }
};

QByteArray sha256(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

PictureState sampleState()
{
    PictureState state;
    state.adjust.windowCenter = 1800;
    state.adjust.windowWidth = 1200;
    state.adjust.invert = true;
    state.adjust.gamma = 1.3;
    state.adjust.sharpen = 1;
    state.adjust.equalise = true;
    state.adjust.quarterTurns = 1;
    state.adjust.flipHorizontal = true;
    state.adjust.crop = QRect(10, 5, 260, 180);
    state.overlay = {{OverlayItem::Length, {QPointF(20, 40), QPointF(270, 40)}, {}},
                     {OverlayItem::Text, {QPointF(30, 60)}, QStringLiteral("36 mesial")},
                     {OverlayItem::Angle, {QPointF(50, 50), QPointF(100, 100), QPointF(150, 50)}, {}},
                     {OverlayItem::Arrow, {QPointF(200, 150), QPointF(150, 100)}, {}},
                     {OverlayItem::Freehand, {QPointF(5, 5), QPointF(9, 12), QPointF(14, 8)}, {}}};
    return state;
}

} // namespace

class TestAdjustmentStore : public QObject
{
    Q_OBJECT

    enum Backend { SQLite, PostgreSQL, Sidecar };
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PgServer> m_pg;
    int m_databases = 0;
    QString m_pgUrl;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    QString m_picture;
    QByteArray m_hash;

    // Opens (or reopens, as after a restart) the host on the case's database.
    bool openHost(Backend backend)
    {
        AdjustmentStore::instance()->reset();
        clearHostLink();
        m_link.reset();
        m_host.reset();
        HostOptions options;
        options.database = backend == PostgreSQL ? m_pgUrl : m_dir->filePath(QStringLiteral("practice.db"));
        options.libraryFolder = m_dir->filePath(QStringLiteral("Library"));
        options.dataFolder = m_dir->path();
        auto host = ReferenceHost::open(options);
        if (!host) {
            qWarning() << host.error();
            return false;
        }
        m_host = host.value();
        m_link = backend == Sidecar ? std::make_shared<HostWithoutTable>(m_host)
                                    : std::make_shared<RecordingDataLink>(m_host);
        setHostLink(m_link, nullptr);
        return true;
    }

    Backend backendOf(const QString &name)
    {
        if (name == QLatin1String("PostgreSQL")) {
            if (PgServer::binDir().isEmpty())
                QTest::qSkip("PostgreSQL is not installed", __FILE__, __LINE__);
            return PostgreSQL;
        }
        return name == QLatin1String("sidecar") ? Sidecar : SQLite;
    }

    bool prepare(Backend backend)
    {
        m_dir = std::make_unique<QTemporaryDir>();
        if (backend == PostgreSQL) {
            if (!m_pg) {
                m_pg = std::make_unique<PgServer>();
                if (!m_pg->start())
                    return false;
            }
            const QString name = QStringLiteral("adjust%1").arg(++m_databases);
            if (!m_pg->createDatabase(name))
                return false;
            m_pgUrl = m_pg->url(name);
        }
        if (!openHost(backend))
            return false;
        DicomContent content;
        content.size = {300, 200};
        content.bitsStored = 12;
        content.windowCenter = 2048;
        content.windowWidth = 4096;
        content.pixelSpacing = QStringLiteral("0.1\\0.1");
        content.value = [](int x, int y) { return (x * 13 + y * 7) % 4096; };
        QDir().mkpath(m_dir->filePath(QStringLiteral("Library")));
        m_picture = makeDicomPicture(m_dir->filePath(QStringLiteral("Library/RVG00042.dcm")), content);
        m_hash = sha256(m_picture);
        return !m_picture.isEmpty();
    }

    static void backends()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("host table, SQLite") << QStringLiteral("SQLite");
        QTest::newRow("host table, PostgreSQL") << QStringLiteral("PostgreSQL");
        QTest::newRow("sidecar, host without the table") << QStringLiteral("sidecar");
    }

private Q_SLOTS:
    void cleanup()
    {
        AdjustmentStore::instance()->reset();
        clearHostLink();
        m_link.reset();
        m_host.reset();
        m_dir.reset();
    }

    void cleanupTestCase() { m_pg.reset(); }

    void roundTripSurvivesRestart_data() { backends(); }
    void roundTripSurvivesRestart()
    {
        QFETCH(QString, backend);
        const Backend b = backendOf(backend);
        QVERIFY(prepare(b));
        AdjustmentStore *store = AdjustmentStore::instance();
        const QSize target(240, 240);
        const QImage plain = pictureAsShown(42, m_picture, target).value();

        const PictureState state = sampleState();
        const Outcome saved = store->save(42, m_picture, state);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(sha256(m_picture), m_hash);
        QCOMPARE(store->usesHostTable(), b != Sidecar);
        QCOMPARE(QFile::exists(store->sidecarPath(42)), b == Sidecar);
        const QImage shown = pictureAsShown(42, m_picture, target).value();
        QVERIFY(shown != plain);
        // Turned a quarter: the crop's 260 x 180 stands upright.
        QVERIFY2(shown.height() > shown.width(), qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));

        QVERIFY(openHost(b)); // the practice program restarts
        QVERIFY(!hasShownChanges(0, m_picture)); // nothing read yet
        const AdjustmentStore::Loaded loaded = store->load(42, m_picture);
        QVERIFY2(loaded.problems.isEmpty(), qPrintable(loaded.problems.join(u'\n')));
        QCOMPARE(loaded.state, state);
        QCOMPARE(pictureAsShown(42, m_picture, target).value(), shown);
        // A caller that knows only the file finds it once the records are read.
        QVERIFY(openHost(b));
        store->preload();
        QVERIFY(hasShownChanges(0, m_picture));
        QCOMPARE(pictureAsShown(0, m_picture, target).value(), shown);
        // Without the marks, and with them hidden, the picture is the same.
        const QImage bare = pictureAsShown(42, m_picture, target, false).value();
        PictureState hidden = state;
        hidden.overlayHidden = true;
        QVERIFY(store->save(42, m_picture, hidden).ok());
        QCOMPARE(pictureAsShown(42, m_picture, target).value(), bare);
        QVERIFY(bare != shown);

        // "Reset": the record goes and the picture is the file's again.
        QVERIFY(store->save(42, m_picture, {}).ok());
        QVERIFY(!QFile::exists(store->sidecarPath(42)));
        if (b != Sidecar)
            QCOMPARE(scalar(*m_host, QStringLiteral("SELECT COUNT(*) FROM PictureAdjustments")), 0);
        QVERIFY(openHost(b));
        QCOMPARE(store->load(42, m_picture).state, PictureState());
        QCOMPARE(pictureAsShown(42, m_picture, target).value(), plain);
        QCOMPARE(sha256(m_picture), m_hash);
    }

    void damagedRecordsShowTheOriginal_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("part");
        for (const char *backend : {"SQLite", "sidecar"})
            for (const char *part : {"Adjustments", "Overlay", "sidecar file"}) {
                if (QByteArray(part) == "sidecar file" && QByteArray(backend) != "sidecar")
                    continue;
                QTest::addRow("%s, %s", backend, part) << QString::fromLatin1(backend) << QString::fromLatin1(part);
            }
    }

    void damagedRecordsShowTheOriginal()
    {
        QFETCH(QString, backend);
        QFETCH(QString, part);
        const Backend b = backendOf(backend);
        QVERIFY(prepare(b));
        AdjustmentStore *store = AdjustmentStore::instance();
        const QSize target(200, 200);
        const QImage plain = pictureAsShown(42, m_picture, target).value();
        PictureState state = sampleState();
        QVERIFY(store->save(42, m_picture, state).ok());

        // Damage one part as a crashed editor or a hand edit would.
        const QString garbage = QStringLiteral("{\"v\":1,\"gamma\":\"bright\",\"items\":7");
        if (b == Sidecar) {
            const QString sidecar = store->sidecarPath(42);
            QByteArray content;
            if (part == QLatin1String("sidecar file")) {
                content = "\x00\x01not json at all";
            } else {
                QFile f(sidecar);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
                o.insert(part.toLower(), garbage);
                content = QJsonDocument(o).toJson();
            }
            QVERIFY(writeFile(sidecar, content));
        } else {
            std::unique_ptr<Recordset> rs;
            QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("SELECT * FROM PictureAdjustments WHERE Entry_Code = 42")));
            rs->setValue(part, garbage);
            rs->update();
        }
        const QByteArray before = sha256(store->sidecarPath(42));
        QVERIFY(openHost(b));
        const AdjustmentStore::Loaded loaded = store->load(42, m_picture);
        QCOMPARE(loaded.problems.size(), 1);
        QVERIFY2(loaded.problems.first().contains(QLatin1String("damaged")), qPrintable(loaded.problems.first()));
        const bool adjustmentsLost = part != QLatin1String("Overlay");
        const bool marksLost = part != QLatin1String("Adjustments");
        QCOMPARE(loaded.state.adjust, adjustmentsLost ? Adjustments() : state.adjust);
        QCOMPARE(loaded.state.overlay, marksLost ? QList<OverlayItem>() : state.overlay);
        if (adjustmentsLost && marksLost)
            QCOMPARE(pictureAsShown(42, m_picture, target).value(), plain);
        // Reading a damaged record rewrites nothing.
        QCOMPARE(sha256(m_picture), m_hash);
        QCOMPARE(sha256(store->sidecarPath(42)), before);
    }
};

QTEST_MAIN(TestAdjustmentStore)
#include "tst_adjustmentstore.moc"

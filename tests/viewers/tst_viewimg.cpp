#include "viewers/singleimageview.h"
#include "viewers/adjustpanel.h"
#include "viewers/viewimg.h"

#include "component/twips.h"
#include "controls/imgview.h"
#include "viewerfixture.h"

#include <QClipboard>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

Q_DECLARE_METATYPE(QList<QRect>)

namespace {

// Pane positions as (column, row) in a grid of cells of the first pane's size.
QList<QPoint> cells(const QList<QRect> &panes)
{
    QList<QPoint> result;
    for (const QRect &r : panes)
        result << QPoint((r.x() - 100) / (panes.first().width() + 100),
                         (r.y() - 100) / (panes.first().height() + 100));
    return result;
}

} // namespace

class TestViewImg : public QObject, public ViewerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(openPractice());
        const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
        for (int i = 0; i < colours.size(); ++i) {
            QImage image(80 + 10 * i, 60, QImage::Format_RGB32);
            image.fill(colours.at(i));
            const QString file = m_dir.filePath(QStringLiteral("p%1.png").arg(i));
            QVERIFY(image.save(file));
            m_pictures << file;
        }
    }

    void init() { startTest(); }

    void cleanup()
    {
        libraryMenuHook() = nullptr;
        endTest();
    }

    void tiling_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("2: stacked") << 2 << 1 << 2;
        QTest::newRow("3: two by two, one cell empty") << 3 << 2 << 2;
        QTest::newRow("4") << 4 << 2 << 2;
        // sqrt(5) rounds to 2, and the first widening adds a column.
        QTest::newRow("5") << 5 << 3 << 2;
        QTest::newRow("7") << 7 << 3 << 3;
        QTest::newRow("10") << 10 << 4 << 3;
    }

    void tiling()
    {
        QFETCH(int, count);
        QFETCH(int, columns);
        QFETCH(int, rows);
        const QSize client(9000, 6000);
        const QList<QRect> panes = tilePanes(count, client);
        QCOMPARE(panes.size(), count);
        const int width = qRound(double(client.width() - (columns + 1) * 100) / columns);
        const int height = qRound(double(client.height() - (rows + 1) * 100) / rows);
        for (const QRect &r : panes)
            QCOMPARE(r.size(), QSize(width, height));
        // Filled row by row from the top left.
        const QList<QPoint> at = cells(panes);
        for (int i = 0; i < count; ++i)
            QCOMPARE(at.at(i), QPoint(i % columns, i / columns));
        QCOMPARE(panes.first().topLeft(), QPoint(100, 100));
        QVERIFY(panes.last().bottom() + 1 <= client.height());
        QVERIFY(tilePanes(0, client).isEmpty());
    }

    void selectedImagesAreTiledInOneModalWindow()
    {
        QStringList files;
        QList<QRect> geometry;
        bool maximized = false, retiled = false;
        m_responder->pushModal([&](QDialog *d) {
            auto *viewer = static_cast<ViewImg *>(d);
            maximized = viewer->windowState() & Qt::WindowMaximized;
            for (int i = 0; i < viewer->pictureCount(); ++i) {
                files << viewer->pane(i)->fileName();
                if (viewer->pane(i)->isVisible())
                    geometry << viewer->pane(i)->geometry();
            }
            // A resized window tiles its panes to the new size.
            viewer->setWindowState(Qt::WindowNoState);
            viewer->resize(600, 450);
            const QRect expected = twipsToPixels(tilePanes(4, pixelsToTwips(QSize(600, 450))).at(3));
            retiled = viewer->pane(3)->geometry() == expected;
            d->reject();
            return d->result();
        });
        auto *viewer = new ViewImg;
        // A video row and an unselected picture are left out; show-all is off.
        const PageTable list = pages({{m_pictures[0], "1", "1"}, {m_pictures[1], "2", "1"},
                                      {m_pictures[2], "1", "0"}, {m_pictures[3], "1", "1"},
                                      {m_pictures[4], "1", "1"}, {m_pictures[1], "1", "1"}});
        viewer->ViewSelectedImages(list, false, qint16(list.count()));
        QCOMPARE(files, (QStringList {m_pictures[0], m_pictures[3], m_pictures[4], m_pictures[1]}));
        QVERIFY(maximized);
        QCOMPARE(geometry.size(), 4);
        // Two by two: the first two side by side, the next two under them.
        QVERIFY(geometry[1].left() > geometry[0].right() && geometry[2].top() > geometry[0].bottom());
        QVERIFY(retiled);
    }

    void noChosenImageShowsNothing()
    {
        auto *viewer = new ViewImg;
        const PageTable list = pages({{m_pictures[0], "2", "1"}, {m_pictures[1], "1", "0"}});
        QPointer<ViewImg> alive(viewer);
        viewer->ViewSelectedImages(list, false, 2);
        QVERIFY(m_responder->prompts().isEmpty());
        QVERIFY(!alive || !alive->isVisible());
    }

    void clickEnlargesAndClickAgainTiles()
    {
        bool enlarged = false, coversWindow = false, tiledAgain = false;
        m_responder->pushModal([&](QDialog *d) {
            auto *viewer = static_cast<ViewImg *>(d);
            ImgView *pane = viewer->pane(1);
            const QRect tiled = pane->geometry();
            QTest::mouseClick(pane, Qt::LeftButton, {}, pane->rect().center());
            enlarged = viewer->isEnlarged();
            coversWindow = pane->geometry().width() >= viewer->width() - 2
                && pane->geometry().height() >= viewer->height() - 2;
            QTest::mouseClick(pane, Qt::MiddleButton, {}, pane->rect().center());
            tiledAgain = !viewer->isEnlarged() && pane->geometry() == tiled;
            d->reject();
            return d->result();
        });
        auto *viewer = new ViewImg;
        const PageTable list = pages({{m_pictures[0], "1", "1"}, {m_pictures[1], "1", "1"},
                                      {m_pictures[2], "1", "1"}});
        viewer->ViewSelectedImages(list, true, 3);
        QVERIFY(enlarged && coversWindow && tiledAgain);
    }

    void paneMenuReachesTheLibraryHook()
    {
        using Call = std::tuple<MenuTarget *, QWidget *, bool, QString>; // target, control, from a viewer, file
        QList<Call> calls;
        libraryMenuHook() = [&](MenuTarget *target, QWidget *control, int, bool fromViewer, qint16,
                                const QString &file, const QString &, const QPoint &) {
            calls.append({target, control, fromViewer, file});
        };
        auto *viewer = new ViewImg;
        viewer->ViewSingleImage(m_pictures[2], QStringLiteral("Lower left"));
        ImgView *pane = viewer->pane(0);
        QVERIFY(pane->isVisible());
        QTest::mouseClick(pane, Qt::RightButton, {}, pane->rect().center());
        QVERIFY((calls == QList<Call>{{viewer, pane, true, m_pictures[2]}}));
        QVERIFY(!viewer->isEnlarged()); // the right button does not enlarge
    }

    void pasteFromClipboard()
    {
        QImage picture(50, 40, QImage::Format_RGB32);
        picture.fill(Qt::magenta);
        QGuiApplication::clipboard()->setImage(picture);
        const QString target = m_dir.filePath(QStringLiteral("pasted.bmp"));
        auto *viewer = new ViewImg;
        QCOMPARE(viewer->PasteNSaveImage(target), target);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Image pasted from clipboard !"));
        QImageReader reader(target);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.read().pixelColor(10, 10), QColor(Qt::magenta));
        QCOMPARE(viewer->pane(0)->fileName(), target);
        QVERIFY(Testing::messageTexts(*m_responder).isEmpty());

        // Text on the clipboard is no picture: the user is told and nothing is written.
        QGuiApplication::clipboard()->setText(QStringLiteral("just words"));
        const QString second = m_dir.filePath(QStringLiteral("pasted2.bmp"));
        m_responder->pushAnswer(Answer::Ok);
        auto *empty = new ViewImg;
        QPointer<ViewImg> alive(empty);
        QVERIFY(empty->PasteNSaveImage(second).isEmpty());
        QCOMPARE(Testing::messageTexts(*m_responder),
                 QStringList {QStringLiteral("No Image data found on clipboard !")});
        QVERIFY(!QFileInfo::exists(second));
        QVERIFY(!alive || !alive->isVisible());
    }

    void grabbedPicture()
    {
        auto *viewer = new ViewImg;
        m_responder->pushAnswer(Answer::Ok);
        QVERIFY(
            viewer->InsertGrabbedImage(m_dir.filePath(QStringLiteral("none.bmp")), QImage()).isEmpty());
        QCOMPARE(Testing::messageTexts(*m_responder),
                 QStringList{QStringLiteral("No Image data avilable !")});
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("none.bmp"))));

        QImage picture(30, 20, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        const QString target = m_dir.filePath(QStringLiteral("grabbed.bmp"));
        QCOMPARE(viewer->InsertGrabbedImage(target, picture), target);
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Add new image"));
        QCOMPARE(QImage(target).size(), picture.size());
        QVERIFY(viewer->isVisible());
    }

    void fileToPicture()
    {
        auto *viewer = new ViewImg;
        QPointer<ViewImg> alive(viewer);
        const QImage picture = viewer->CovertFiletoPicture(m_pictures[3]);
        QCOMPARE(picture.size(), QSize(110, 60));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive); // loaded, read and unloaded without being shown

        auto *other = new ViewImg;
        QVERIFY(other->CovertFiletoPicture(m_dir.filePath(QStringLiteral("missing.png"))).isNull());
    }

    void singleImageViewTakesItsShareOfTheScreen_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<double>("share");
        QTest::newRow("0") << 0 << 0.97;
        QTest::newRow("4") << 4 << 0.33;
        QTest::newRow("5 keeps the largest") << 5 << 0.97;
        QTest::newRow("negative") << -1 << 0.97;
    }

    void singleImageViewTakesItsShareOfTheScreen()
    {
        QFETCH(int, setting);
        QFETCH(double, share);
        m_host->setSetting(132, setting);
        auto *view = new SingleImageView;
        view->ViewSingleImage(m_pictures[0], QStringLiteral("Front view"));
        QVERIFY(view->isVisible());
        QCOMPARE(view->windowTitle(), QStringLiteral("Front view"));
        const QSize area = view->screen()->availableGeometry().size();
        QCOMPARE(view->size(), QSize(int(area.width() * share), int(area.height() * share)));
        QSignalSpy loaded(view->view()->canvas(), &PictureCanvas::loaded);
        QVERIFY(loaded.wait(5000)); // read off the UI thread
        QVERIFY(view->view()->canvas()->hasPicture());
        QCOMPARE(view->view()->geometry(), view->rect());
    }

private:
    // A page list from rows of file, entry type and selected flag.
    PageTable pages(const QList<std::array<QString, 3>> &rows)
    {
        PageTable table;
        int code = 1;
        for (const auto &r : rows) {
            PageTable::Page page;
            page[PageTable::EntryCodeRow - 1] = QString::number(code++);
            page[PageTable::FileNameRow - 1] = r[0];
            page[PageTable::DescriptionRow - 1] = QFileInfo(r[0]).baseName();
            page[PageTable::EntryTypeRow - 1] = r[1];
            page[PageTable::SelectedRow - 1] = r[2];
            table.pages << page;
        }
        return table;
    }

    QStringList m_pictures;
};

QTEST_MAIN(TestViewImg)
#include "tst_viewimg.moc"

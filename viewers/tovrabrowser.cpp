#include "viewers/tovrabrowser.h"

#include "component/busymark.h"
#include "component/hostlink.h"
#include "component/mediaicons.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <unistd.h>

namespace tovradocs::Internal {

namespace {

const QString kBrowserWindow = QStringLiteral("TovraBrowser");
const QString kHomePage = QStringLiteral("about:blank");
const QString kSearchPage = QStringLiteral("https://duckduckgo.com/");

QUrl toUrl(const QString &address)
{
    const QString trimmed = address.trimmed();
    return trimmed == QLatin1String("about:blank") ? QUrl(trimmed) : QUrl::fromUserInput(trimmed);
}

} // namespace

void prepareWebEngine()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

namespace {

// The view is made in the initialiser list, so the check runs there, first.
QWebEngineView *newPageView(QWidget *parent)
{
    prepareWebEngine();
    return new QWebEngineView(parent);
}

} // namespace

TovraBrowser::TovraBrowser(QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_view(newPageView(this))
    , m_address(new QComboBox(this))
    , m_toolBar(new QToolBar(this))
    , m_timer(new QTimer(this))
{
    setObjectName(kBrowserWindow);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(103))));
    resize(900, 700);

    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    const struct { const char *key; QStyle::StandardPixmap icon; } keys[] = {
        {"Back", QStyle::SP_ArrowBack},       {"Forward", QStyle::SP_ArrowForward},
        {"Refresh", QStyle::SP_BrowserReload}, {"Home", QStyle::SP_DirHomeIcon},
        {"Search", QStyle::SP_FileDialogContentsView}, {"Stop", QStyle::SP_BrowserStop}};
    for (const auto &k : keys) {
        const QString key = QLatin1String(k.key);
        QAction *action = m_toolBar->addAction(style()->standardIcon(k.icon), key);
        action->setObjectName(key);
        connect(action, &QAction::triggered, this, [this, key] { toolbarCommand(key); });
    }

    auto *addressArea = new QWidget(this);
    addressArea->setObjectName(QStringLiteral("picAddress"));
    auto *label = new QLabel(QStringLiteral("&Address"), addressArea);
    label->setObjectName(QStringLiteral("lblAddress"));
    m_address->setObjectName(QStringLiteral("cboAddress"));
    m_address->setToolTip(QStringLiteral("Current URL"));
    m_address->setEditable(true);
    m_address->setInsertPolicy(QComboBox::NoInsert);
    label->setBuddy(m_address);
    auto *row = new QHBoxLayout(addressArea);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(label);
    row->addWidget(m_address, 1);

    m_view->setObjectName(QStringLiteral("brwWebBrowser"));
    auto *top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(m_toolBar);
    top->addWidget(addressArea);
    top->addWidget(m_view, 1);

    m_timer->setObjectName(QStringLiteral("timTimer"));
    m_timer->setInterval(250);
    connect(m_timer, &QTimer::timeout, this, &TovraBrowser::timerTick);

    connect(m_view, &QWebEngineView::loadStarted, this, [this] {
        m_busy = true;
        m_stopped = false;
    });
    connect(m_view, &QWebEngineView::loadFinished, this, &TovraBrowser::navigationFinished);
    connect(m_view, &QWebEngineView::titleChanged, this, [this](const QString &title) {
        if (!m_busy)
            setWindowTitle(title);
    });
    connect(m_address, &QComboBox::activated, this, [this](int index) {
        if (!isBusy(m_address))
            navigate(m_address->itemText(index));
    });
    connect(m_address->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (!isBusy(m_address))
            navigate(m_address->currentText());
    });

    // The start page, until Open names another.
    m_startAddress = kHomePage;
    {
        BusyMark busy(m_address);
        m_address->addItem(kHomePage);
        m_address->setCurrentText(kHomePage);
    }
    KeyHandler::install(this);
}

TovraBrowser::~TovraBrowser() = default;

bool TovraBrowser::Open(const QString &address, const QString &caption)
{
    {
        BusyMark busy(m_address);
        m_address->setCurrentText(address);
    }
    m_startAddress = address;
    setWindowTitle(caption);
    if (QWidget *owner = parentWindow(); owner && !parentWidget())
        setParent(owner, windowFlags() | Qt::Window);
    navigate(address);
    show();
    raise();
    return true;
}

void TovraBrowser::navigate(const QString &address)
{
    const QUrl url = toUrl(address);
    if (!url.isValid() || url.isEmpty()) {
        notify(QStringLiteral("The address %1 is not valid.").arg(address));
        return;
    }
    m_busy = true;
    m_stopped = false;
    m_view->setUrl(url);
    m_timer->start();
}

void TovraBrowser::navigationFinished(bool ok)
{
    m_busy = false;
    const QString current = m_view->url().toString();
    if (ok) {
        BusyMark busy(m_address);
        if (m_address->findText(current, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
            m_address->addItem(current);
        m_address->setCurrentText(current);
        setWindowTitle(m_view->title());
    } else if (!m_stopped) {
        setWindowTitle(QStringLiteral("Page not found"));
        notify(QStringLiteral("The page %1 cannot be shown.").arg(current));
    }
    Q_EMIT pageLoaded(ok);
}

void TovraBrowser::timerTick()
{
    if (m_busy) {
        setWindowTitle(QStringLiteral("Working..."));
        return;
    }
    m_timer->stop();
    setWindowTitle(m_view->title());
}

void TovraBrowser::toolbarCommand(const QString &key)
{
    trapErrors(kBrowserWindow, [&] {
        if (key == QLatin1String("Back")) {
            m_view->back();
        } else if (key == QLatin1String("Forward")) {
            m_view->forward();
        } else if (key == QLatin1String("Refresh")) {
            m_view->reload();
        } else if (key == QLatin1String("Home")) {
            navigate(m_startAddress);
        } else if (key == QLatin1String("Search")) {
            navigate(kSearchPage);
        } else if (key == QLatin1String("Stop")) {
            m_timer->stop();
            m_stopped = true;
            m_view->stop();
            m_busy = false;
            setWindowTitle(m_view->title());
        }
    });
}

} // namespace tovradocs::Internal

#include "viewers/vidplaywindow.h"

#include "component/hostlink.h"
#include "component/mediaicons.h"
#include "component/twips.h"
#include "controls/mediacontrol.h"
#include "controls/vidplay.h"
#include "media/playbackgroup.h"
#include "viewers/viewimg.h"

#include <tovradocs/dokumentz.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

const QString kPlayerWindow = QStringLiteral("VidPlay");
constexpr int kRepeatInterval = 500;
constexpr int kStripRefresh = 100;
constexpr double kSpeeds[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0};

QString clockText(qint64 ms)
{
    ms = std::max<qint64>(0, ms);
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 10 % 100, 2, 10, QLatin1Char('0'));
}

QString playerPath(const QString &path)
{
    return QString(path).replace(u'\\', u'/');
}

} // namespace

QList<QRect> arrangeVideos(const QList<QSize> &natural, QSize areaSize)
{
    const int n = int(natural.size());
    const int cw = areaSize.width();
    const int ch = areaSize.height();
    if (n == 2) {
        QSize a = natural.at(0);
        QSize b = natural.at(1);
        if (a.width() + b.width() <= cw) {
            // Taller than the area: shrink both alike so they stay comparable.
            const int tallest = std::max(a.height(), b.height());
            if (tallest > ch && tallest > 0) {
                a = a * (double(ch) / tallest);
                b = b * (double(ch) / tallest);
            }
            const int gap = (cw - a.width() - b.width()) / 3;
            return {QRect(QPoint(gap, (ch - a.height()) / 2), a),
                    QRect(QPoint(2 * gap + a.width(), (ch - b.height()) / 2), b)};
        }
    }
    QList<QRect> panes;
    for (const QRect &twips : tilePanes(n, pixelsToTwips(areaSize)))
        panes.append(twipsToPixels(twips));
    return panes;
}

VidPlayWindow::VidPlayWindow(QWidget *owner)
    : QDialog(owner)
    , m_group(new PlaybackGroup(this))
    , m_strip(new QWidget(this))
    , m_bar(new MediaControl(m_strip))
    , m_stepBack(new QToolButton(m_strip))
    , m_stepForward(new QToolButton(m_strip))
    , m_repeatButton(new QToolButton(m_strip))
    , m_speed(new QComboBox(m_strip))
    , m_time(new QLabel(m_strip))
    , m_position(new QSlider(Qt::Horizontal, m_strip))
    , m_repeatTimer(new QTimer(this))
    , m_stripRefresh(new QTimer(this))
{
    setObjectName(kPlayerWindow);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Video Player"));
    setWindowIcon(QIcon(QPixmap::fromImage(mediaIcon(ImageViewerIcon))));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    setPalette(pal);
    // Left and Right step frames wherever the focus is; the slider, once
    // tabbed to, adds Up / Down (a second), Page Up / Down (ten) and Home /
    // End, the speed box Up / Down. Clicks on the strip never take the focus.
    setFocusPolicy(Qt::StrongFocus);

    // The strip keeps the desktop's colours; its glyphs vanish on the dark stage.
    m_strip->setObjectName(QStringLiteral("ControlStrip"));
    m_strip->setAutoFillBackground(true);
    QPalette desktop = QGuiApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) // set, so not inherited
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            desktop.setColor(group, QPalette::ColorRole(role),
                             desktop.color(group, QPalette::ColorRole(role)));
    m_strip->setPalette(desktop);

    m_bar->setObjectName(QStringLiteral("mcPlayer"));
    m_bar->setAutoFillBackground(false);
    // The bar centres its buttons in whatever width it gets; here they lead the row.
    m_bar->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_bar, &MediaControl::ButtonClick, this, &VidPlayWindow::buttonClicked);

    auto tool = [this](QToolButton *button, const char *name, const QString &tip,
                       QStyle::StandardPixmap icon) {
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(tip);
        button->setIcon(style()->standardIcon(icon));
        button->setIconSize(QSize(24, 24));
        button->setAutoRaise(true);
    };
    tool(m_stepBack, "cmdStepBack", QStringLiteral("One frame back (Left arrow)"),
         QStyle::SP_MediaSeekBackward);
    tool(m_stepForward, "cmdStepForward", QStringLiteral("One frame on (Right arrow)"),
         QStyle::SP_MediaSeekForward);
    tool(m_repeatButton, "chkRepeat", QStringLiteral("Repeat"), QStyle::SP_BrowserReload);
    m_repeatButton->setCheckable(true);
    connect(m_stepBack, &QToolButton::clicked, this, [this] { stepAll(-1); });
    connect(m_stepForward, &QToolButton::clicked, this, [this] { stepAll(1); });
    connect(m_repeatButton, &QToolButton::toggled, this, &VidPlayWindow::repeatToggled);

    m_speed->setObjectName(QStringLiteral("cboSpeed"));
    m_speed->setToolTip(QStringLiteral("Speed"));
    m_speed->setFocusPolicy(Qt::TabFocus);
    for (double rate : kSpeeds)
        m_speed->addItem(QString::number(rate) + u'x', rate);
    m_speed->setCurrentIndex(int(std::find(std::begin(kSpeeds), std::end(kSpeeds), 1.0) - std::begin(kSpeeds)));
    connect(m_speed, &QComboBox::activated, this, &VidPlayWindow::speedChosen);

    m_time->setObjectName(QStringLiteral("lblTime"));
    m_time->setMinimumWidth(m_time->fontMetrics().horizontalAdvance(QStringLiteral("00:00.00 / 00:00.00")) + 8);
    m_time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_position->setObjectName(QStringLiteral("sldPosition"));
    m_position->setToolTip(QStringLiteral("Position of every video"));
    m_position->setFocusPolicy(Qt::TabFocus);
    m_position->setRange(0, 0);
    m_position->setSingleStep(1000);
    m_position->setPageStep(10000);
    connect(m_position, &QSlider::sliderPressed, this, &VidPlayWindow::sliderPressed);
    connect(m_position, &QSlider::sliderMoved, this, &VidPlayWindow::positionMoved);
    connect(m_position, &QSlider::sliderReleased, this, &VidPlayWindow::sliderReleased);
    // Clicks beside the handle, and the keys once the slider has the focus.
    connect(m_position, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            positionMoved(m_position->sliderPosition());
    });

    auto *column = new QVBoxLayout(m_strip);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(0);
    column->addWidget(m_position);
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(m_bar);
    row->addWidget(m_stepBack);
    row->addWidget(m_stepForward);
    row->addSpacing(8);
    row->addWidget(m_repeatButton);
    row->addWidget(m_speed);
    row->addStretch();
    row->addWidget(m_time);
    column->addLayout(row);

    m_stripRefresh->setSingleShot(true);
    m_stripRefresh->setInterval(kStripRefresh);
    connect(m_stripRefresh, &QTimer::timeout, this, &VidPlayWindow::refreshStrip);

    m_repeatTimer->setObjectName(QStringLiteral("tmrRepeat"));
    m_repeatTimer->setInterval(kRepeatInterval);
    connect(m_repeatTimer, &QTimer::timeout, this, &VidPlayWindow::repeatTick);

    // A focused button would take Left and Right to move the focus on, the
    // slider to move by its single step.
    for (QToolButton *button : m_strip->findChildren<QToolButton *>())
        button->installEventFilter(this);
    m_speed->installEventFilter(this);
    m_position->installEventFilter(this);

    boxAt(0);
    resize(640, 480);
    KeyHandler::install(this);
}

VidPlayWindow::~VidPlayWindow() = default;

VidPlay *VidPlayWindow::videoBox(int index) const
{
    return index >= 0 && index < m_boxes.size() ? m_boxes.at(index) : nullptr;
}

VidPlay *VidPlayWindow::boxAt(int index)
{
    while (m_boxes.size() <= index) {
        const int i = int(m_boxes.size());
        auto *box = new VidPlay(this);
        box->setObjectName(QStringLiteral("VideoBox_") + QString::number(i));
        box->setGroup(m_group);
        box->hide();
        connect(box, &VidPlay::loaded, this, [this, i](bool ok) { boxLoaded(i, ok); });
        connect(box, &VidPlay::positionChanged, this, &VidPlayWindow::boxPositionChanged);
        connect(box, &VidPlay::contextRequested, this, [this, i](const QPoint &pos) {
            VidPlay *video = videoBox(i);
            if (auto &hook = libraryMenuHook(); hook && video)
                hook(this, video, i, true, 2, video->fileName(), m_descriptions.value(i), pos);
        });
        m_boxes.append(box);
        m_descriptions.append(QString());
    }
    return m_boxes.at(index);
}

void VidPlayWindow::ViewVideo(const QString &fileName, const QString &caption, QWidget *owner)
{
    m_single = true;
    m_count = 1;
    VidPlay *box = boxAt(0);
    m_descriptions[0] = caption;
    box->show();
    if (!isMinimized()) {
        const QRect area = videoArea();
        box->setGeometry(1, 1, std::max(0, area.width() - 1), std::max(0, area.height() - 1));
    }
    if (!caption.isEmpty())
        setWindowTitle(caption);
    if (owner && owner != parentWidget())
        setParent(owner, windowFlags());
    box->openAndPlay(playerPath(fileName));
    m_bar->setState(2);
    sizeToVideo();
    show();
    raise();
}

void VidPlayWindow::CompareVideos(const Dokumentz &docs, bool repeat)
{
    m_arrangeOnActivate = true;
    setWindowState(windowState() | Qt::WindowMaximized);
    m_single = false;
    m_count = docs.Count();
    m_repeat = repeat;
    {
        const QSignalBlocker quiet(m_repeatButton);
        m_repeatButton->setChecked(repeat);
    }
    int k = 0;
    for (const Dokument &doc : docs) {
        VidPlay *box = boxAt(k);
        m_descriptions[k] = doc.Description;
        // One sound track at a time; the others would only talk over it.
        box->setMuted(k > 0);
        box->setFileName(playerPath(doc.FileName));
        box->raise();
        ++k;
    }
    if (QWidget *owner = parentWindow(); owner && owner != parentWidget())
        setParent(owner, windowFlags());
    showMaximized();
}

int VidPlayWindow::stripHeight() const
{
    return m_strip->sizeHint().height();
}

QRect VidPlayWindow::videoArea() const
{
    return QRect(0, 0, width(), std::max(0, height() - stripHeight()));
}

void VidPlayWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Activation would give the focus to the first button of the strip, and
    // Space would press Stop there instead of pausing.
    if (!focusWidget())
        setFocus(Qt::ActiveWindowFocusReason);
    if (m_shown)
        return;
    if (m_arrangeOnActivate) {
        arrange();
        m_bar->setState(0);
        buttonClicked(MediaControl::PlayButton);
    }
    if (m_repeat)
        setRepeating(true);
    m_shown = true;
}

void VidPlayWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (isMinimized() || width() <= 0 || height() <= 0)
        return;
    layoutControls();
    if (m_single)
        boxAt(0)->setGeometry(videoArea());
    else if (m_count > 0)
        arrange();
}

void VidPlayWindow::layoutControls()
{
    const int strip = stripHeight();
    m_strip->setGeometry(0, height() - strip, width(), strip);
    m_strip->raise();
}

void VidPlayWindow::arrange()
{
    QList<QSize> natural;
    for (int i = 0; i < m_count; ++i) {
        const QSize size = boxAt(i)->videoSize();
        natural.append(size.isEmpty() ? boxAt(i)->sizeHint() : size);
    }
    const QList<QRect> panes = arrangeVideos(natural, videoArea().size());
    for (int i = 0; i < m_count && i < panes.size(); ++i)
        boxAt(i)->setGeometry(panes.at(i));
}

QList<VidPlay *> VidPlayWindow::playing() const
{
    return m_boxes.mid(0, m_single ? 1 : m_count);
}

void VidPlayWindow::setRepeating(bool on)
{
    // Repeating clips loop on segment seeks, without a gap; the timer restarts
    // any that stopped all the same.
    if (on)
        m_repeatTimer->start();
    else
        m_repeatTimer->stop();
    m_group->setLooping(on);
}

void VidPlayWindow::buttonClicked(int button)
{
    trapErrors(kPlayerWindow, [&] {
        switch (button) {
        case MediaControl::StopButton:
            setRepeating(false);
            m_group->stop();
            m_bar->setState(0);
            break;
        case MediaControl::PlayButton:
            if (m_bar->state() == 2) {
                m_group->pause();
                m_bar->setState(1);
            } else {
                for (VidPlay *box : playing())
                    box->show();
                m_group->play();
                m_bar->setState(2);
            }
            setRepeating(m_repeat);
            break;
        case MediaControl::RewindButton:
            setRepeating(false);
            m_group->seek(0);
            m_group->play();
            m_bar->setState(2);
            break;
        default:
            break;
        }
    });
}

void VidPlayWindow::repeatToggled(bool on)
{
    m_repeat = on;
    if (m_bar->state() == 2 || !on)
        setRepeating(on);
}

void VidPlayWindow::speedChosen(int index)
{
    m_group->setRate(m_speed->itemData(index).toDouble());
}

void VidPlayWindow::repeatTick()
{
    for (VidPlay *box : playing())
        if (box->statusText() == QLatin1String("stopped"))
            box->play();
}

void VidPlayWindow::boxLoaded(int index, bool ok)
{
    VidPlay *box = boxAt(index);
    if (!ok) {
        notify(QStringLiteral("The video %1 cannot be played: %2")
                   .arg(box->fileName(), box->errorString()));
        return;
    }
    m_position->setRange(0, int(m_group->duration()));
    boxPositionChanged();
    if (m_single)
        sizeToVideo();
    else
        arrange();
}

void VidPlayWindow::sizeToVideo()
{
    const QSize video = boxAt(0)->videoSize();
    if (video.isEmpty() || isMaximized() || isFullScreen())
        return;
    // The video keeps its natural pixels; the control strip comes on top.
    resize(video.width(), video.height() + height() - videoArea().height());
}

void VidPlayWindow::sliderPressed()
{
    // Scrubbing shows still pictures; playing resumes where the slider is let go.
    m_resumeAfterScrub = m_bar->state() == 2;
    if (m_resumeAfterScrub)
        m_group->pause();
}

void VidPlayWindow::positionMoved(int value)
{
    m_group->seek(value);
}

void VidPlayWindow::sliderReleased()
{
    if (std::exchange(m_resumeAfterScrub, false))
        m_group->play();
}

void VidPlayWindow::boxPositionChanged()
{
    // While playing, ten times a second is enough for a clock and a slider;
    // redrawing them with every picture cost a tenth of the window's CPU.
    if (m_bar->state() == 2 && !m_position->isSliderDown()) {
        if (!m_stripRefresh->isActive())
            m_stripRefresh->start();
        return;
    }
    m_stripRefresh->stop();
    refreshStrip();
}

void VidPlayWindow::refreshStrip()
{
    const qint64 longest = m_group->duration();
    if (longest > m_position->maximum())
        m_position->setMaximum(int(longest));
    const qint64 now = m_group->position();
    if (!m_position->isSliderDown())
        m_position->setValue(int(now));
    m_time->setText(clockText(now) + QStringLiteral(" / ") + clockText(longest));
}

void VidPlayWindow::stepAll(int frames)
{
    // A step stops the videos on the picture it shows.
    if (m_bar->state() == 2)
        m_bar->setState(1);
    m_group->step(frames);
}

bool VidPlayWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched != this) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)
            && !(key->modifiers() & ~Qt::KeypadModifier)) {
            stepAll(key->key() == Qt::Key_Right ? 1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void VidPlayWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        stepAll(event->key() == Qt::Key_Right ? 1 : -1);
        event->accept();
        return;
    case Qt::Key_Space:
        buttonClicked(MediaControl::PlayButton);
        event->accept();
        return;
    case Qt::Key_Escape:
        close();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace tovradocs::Internal

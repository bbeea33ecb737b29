#include "component/hostlink.h"

#include <QPointer>
#include <QWidget>

Q_LOGGING_CATEGORY(lcComponent, "tovradocs.component")

namespace tovradocs::Internal {

namespace {
struct HostLinkState
{
    std::shared_ptr<DataLink> link;
    QPointer<QWidget> parent;
    int managers = 0;
};

HostLinkState &state()
{
    static HostLinkState s;
    return s;
}
} // namespace

DataLink *dataLink() { return state().link.get(); }
std::shared_ptr<DataLink> sharedDataLink() { return state().link; }
QWidget *parentWindow() { return state().parent.data(); }

void setHostLink(std::shared_ptr<DataLink> link, QWidget *parent)
{
    state().link = std::move(link);
    state().parent = parent;
}

void clearHostLink()
{
    state().link.reset();
    state().parent = nullptr;
}

void retainHostLink() { ++state().managers; }

void releaseHostLink()
{
    if (--state().managers <= 0) {
        state().managers = 0;
        clearHostLink();
    }
}

void reportError(const QString &windowName, qint32 number, const QString &description)
{
    qCWarning(lcComponent) << windowName << number << description;
    if (DataLink *link = dataLink()) {
        try {
            link->PassMessage(description, 16, windowName + QStringLiteral(" - ERROR: ")
                                                   + QString::number(number), 0);
        } catch (const std::exception &e) {
            // The message channel itself failed; the log above is all we have.
            qCWarning(lcComponent) << "PassMessage failed:" << e.what();
        }
    }
}

void reportError(const QString &windowName, const std::exception &error)
{
    if (const auto *host = dynamic_cast<const HostError *>(&error))
        reportError(windowName, host->number(), host->description());
    else
        reportError(windowName, 5, QString::fromUtf8(error.what()));
}

void notify(const QString &text)
{
    if (DataLink *link = dataLink())
        link->PassMessage(text, 0);
}

} // namespace tovradocs::Internal

#pragma once

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "host/referencehost.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QApplication>
#include <QTemporaryDir>

namespace tovradocs::Testing {

// What the viewer window suites share: one practice for the whole suite and,
// for each test, a recording link in front of it and a scripted responder.
class ViewerFixture
{
protected:
    bool openPractice()
    {
        m_host = openTestHost(m_dir.path());
        return m_dir.isValid() && m_host;
    }

    void startTest()
    {
        m_link = std::make_shared<RecordingDataLink>(m_host);
        Internal::setHostLink(m_link, nullptr);
        m_responder = std::make_unique<Internal::ScriptedResponder>();
        m_guard = std::make_unique<Internal::ResponderGuard>(m_responder.get());
    }

    // Windows a test left open are closed while the responder still answers
    // for them; viewer windows delete themselves on close.
    void endTest()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_guard.reset();
        m_responder.reset();
        Internal::clearHostLink();
        m_link.reset();
    }

    QTemporaryDir m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    std::unique_ptr<Internal::ScriptedResponder> m_responder;
    std::unique_ptr<Internal::ResponderGuard> m_guard;
};

} // namespace tovradocs::Testing

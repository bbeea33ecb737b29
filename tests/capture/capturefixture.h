#pragma once

#include "library/libraryfixture.h"

#include "capture/capturebkgnd.h"
#include "capture/captureenvironment.h"
#include "capture/capturesettings.h"
#include "capture/capturesource.h"
#include "capture/smartgrab.h"
#include "component/dialogservice.h"
#include "media/mediaengine.h"

#include <tovradocs/capturer.h>

#include <QAbstractButton>
#include <QDialog>

// A library host with one book, capture settings in a scratch INI file and a
// small, fast test pattern as the only capture driver.
class CaptureFixture : public LibraryFixture
{
public:
    static constexpr qint32 kBook = 5;

    bool open()
    {
        if (!LibraryFixture::open())
            return false;
        addBook(kBook, QStringLiteral("Smith"), 1);
        tovradocs::Internal::CaptureSettings::setFileName(path(QStringLiteral("capture.ini")));
        tovradocs::Internal::CaptureDrivers::setTestPatternEnabled(true);
        tovradocs::Internal::CaptureDrivers::setTestPatternFormat(QSize(320, 240), 25);
        responder.clearPrompts();
        tovradocs::Internal::DialogService::setResponder(&responder);
        return true;
    }

    void close()
    {
        if (auto *bkgnd = tovradocs::Internal::CaptureEnvironment::background().data())
            delete bkgnd;
        settle();
        tovradocs::Internal::DialogService::setResponder(nullptr);
        tovradocs::Internal::CaptureEnvironment::clearTarget();
        LibraryFixture::close();
    }

    // Opens the capture environment on the fixture's book, as the library window does.
    static void showCapture(tovradocs::Capturer &capturer, bool immediateVideo = false)
    {
        tovradocs::Internal::CaptureEnvironment::setTarget(&capturer, kBook, QStringLiteral("Smith"));
        if (immediateVideo)
            capturer.CaptureVideo(QStringLiteral("Smith"));
        else
            capturer.ShowCapture(QStringLiteral("Smith"));
    }

    static void setting(const QString &section, const QString &key, const QString &value)
    {
        tovradocs::Internal::CaptureSettings::setValue(section, key, value);
    }

    // Lets what a window handed off finish: cameras let go, files written and
    // synced, their rows stored and the window's set closed.
    static bool settle()
    {
        for (int round = 0; round < 4; ++round) {
            if (!tovradocs::Internal::MediaEngine::waitForIdle(20000))
                return false;
            QCoreApplication::sendPostedEvents();
        }
        return true;
    }

    QWidget *background() const { return tovradocs::Internal::CaptureEnvironment::background().data(); }

    tovradocs::Internal::SmartGrab *grab() const
    {
        auto *bkgnd = tovradocs::Internal::CaptureEnvironment::background().data();
        return bkgnd ? bkgnd->grab() : nullptr;
    }

    // Answers the recording dialog with OK (or Cancel), leaving its values.
    void answerRecording(bool confirm)
    {
        responder.pushModal([confirm](QDialog *dialog) {
            const char *name = confirm ? "Command1_0" : "Command1_1";
            tovradocs::Testing::child<QAbstractButton>(dialog, name)->click();
            return dialog->result();
        });
    }

    tovradocs::Internal::ScriptedResponder responder;
};

#include "support/testhost.h"

#include "component/dialogservice.h"

#include <QDebug>

namespace tovradocs::Testing {

std::shared_ptr<ReferenceHost> openTestHost(const QString &folder, bool demoPractice)
{
    HostOptions options;
    options.database = folder + QStringLiteral("/practice.db");
    options.libraryFolder = folder + QStringLiteral("/Library");
    options.dataFolder = folder;
    options.createDemoPractice = demoPractice;
    auto host = ReferenceHost::open(options);
    if (!host) {
        qWarning() << "test host:" << host.error();
        return nullptr;
    }
    return host.value();
}

QStringList messageTexts(const Internal::ScriptedResponder &responder)
{
    QStringList texts;
    for (const Internal::Prompt &p : responder.prompts())
        if (p.kind == Internal::Prompt::Message)
            texts << p.text;
    return texts;
}

} // namespace tovradocs::Testing

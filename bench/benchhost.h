#pragma once

#include "host/referencehost.h"

#include <cstdio>
#include <memory>

// A reference host over a fresh SQLite practice in folder; null (and a line
// on stderr) when it cannot open.
inline std::shared_ptr<tovradocs::ReferenceHost> openBenchHost(const QString &folder)
{
    tovradocs::HostOptions options;
    options.database = folder + QStringLiteral("/practice.db");
    options.libraryFolder = folder + QStringLiteral("/Library");
    options.dataFolder = folder;
    auto opened = tovradocs::ReferenceHost::open(options);
    if (!opened) {
        std::fprintf(stderr, "cannot open the host: %s\n", qPrintable(opened.error()));
        return nullptr;
    }
    return opened.value();
}

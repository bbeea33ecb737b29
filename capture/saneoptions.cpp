#include "capture/saneoptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QThread>

#include <sane/saneopts.h>

#include <cstring>

namespace tovradocs::Internal::scanner {

bool ensureInit()
{
    static const bool ok = [] {
        SANE_Int version = 0;
        return sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    }();
    return ok;
}

QString statusText(SANE_Status status) { return QString::fromLocal8Bit(sane_strstatus(status)); }

// The option numbers of a device by name.
int findOption(SANE_Handle handle, const char *name)
{
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, i);
        if (d && d->name && std::strcmp(d->name, name) == 0)
            return i;
    }
    return -1;
}

double numberOf(const SANE_Option_Descriptor *d, SANE_Word w)
{
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

SANE_Word wordOf(const SANE_Option_Descriptor *d, double v)
{
    return d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(qRound(v));
}

bool setNumber(SANE_Handle handle, const char *name, double value)
{
    const int option = findOption(handle, name);
    if (option < 0)
        return false;
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, option);
    if (!SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
        return false;
    SANE_Word w = wordOf(d, value);
    return sane_control_option(handle, option, SANE_ACTION_SET_VALUE, &w, nullptr) == SANE_STATUS_GOOD;
}

bool setText(SANE_Handle handle, const char *name, const QString &value)
{
    const int option = findOption(handle, name);
    if (option < 0)
        return false;
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(handle, option);
    if (d->type == SANE_TYPE_BOOL || d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED)
        return setNumber(handle, name, value.toDouble());
    QByteArray text = value.toUtf8();
    text.resize(qMax<qsizetype>(text.size() + 1, d->size), '\0');
    return sane_control_option(handle, option, SANE_ACTION_SET_VALUE, text.data(), nullptr)
           == SANE_STATUS_GOOD;
}

// Threads of this process now, from the kernel's own count.
int threadCount()
{
    QFile status(QStringLiteral("/proc/self/stat"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = status.readAll();
    // The fields after the command name, which may hold blanks, start past its ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 17 ? fields.at(17).toInt() : -1;
}

// Waits a little while for the threads started since there were `before` of
// them to end; other threads of the program coming and going only make it
// wait its full time.
void waitForThreadsToEnd(int before)
{
    if (before <= 0)
        return;
    QElapsedTimer waited;
    waited.start();
    while (threadCount() > before && waited.elapsed() < 200)
        QThread::msleep(1);
}

} // namespace tovradocs::Internal::scanner

#include "component/adjustmentstore.h"
#include "component/hostlink.h"

#include <tovradocs/datalink.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSaveFile>
#include <QThread>

namespace tovradocs::Internal {

namespace {

// The host link is used on the UI thread only.
bool onUiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

QString text(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString();
}

} // namespace

QString adjustmentPathKey(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

AdjustmentStore *AdjustmentStore::instance()
{
    static AdjustmentStore *store = [] {
        auto *s = new AdjustmentStore;
        if (QCoreApplication::instance())
            s->moveToThread(QCoreApplication::instance()->thread());
        return s;
    }();
    return store;
}

void AdjustmentStore::checkLink()
{
    if (dataLink() == m_link)
        return;
    reset();
    m_link = dataLink();
}

void AdjustmentStore::reset()
{
    m_table.reset();
    m_preloaded = false;
    QMutexLocker lock(&m_mutex);
    m_byCode.clear();
    m_codeByPath.clear();
}

bool AdjustmentStore::usesHostTable()
{
    checkLink();
    if (!m_link)
        return false;
    if (!m_table) {
        try {
            std::unique_ptr<Recordset> rs;
            m_link->FillRecordSet(rs, QStringLiteral("SELECT Entry_Code FROM %1 WHERE Entry_Code = 0").arg(tableName()));
            m_table = true;
        } catch (const std::exception &) {
            // The host has no such table: sidecar files it is.
            m_table = false;
        }
    }
    return *m_table;
}

QString AdjustmentStore::sidecarPath(qint32 entryCode)
{
    checkLink();
    if (!m_link)
        return {};
    const QString folder = m_link->GetLibraryFilesFolder();
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(sidecarFolderName() + QStringLiteral("/%1.json").arg(entryCode));
}

std::optional<AdjustmentStore::Record> AdjustmentStore::readRecord(qint32 entryCode)
{
    if (usesHostTable()) {
        std::unique_ptr<Recordset> rs;
        if (!m_link->FillRecordSet(rs, QStringLiteral("SELECT Entry_Code, FileName, Adjustments, Overlay FROM %1 "
                                                      "WHERE Entry_Code = %2")
                                           .arg(tableName())
                                           .arg(entryCode))
            || !rs || rs->isEof())
            return std::nullopt;
        return Record{text(rs->value(QStringLiteral("Adjustments"))).toUtf8(),
                      text(rs->value(QStringLiteral("Overlay"))).toUtf8()};
    }
    QFile file(sidecarPath(entryCode));
    if (file.fileName().isEmpty() || !file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return Record{QByteArrayLiteral("unreadable"), {}};
    const QByteArray content = file.read(16 << 20);
    const QJsonObject o = QJsonDocument::fromJson(content).object();
    if (o.isEmpty())
        return Record{content.isEmpty() ? QByteArrayLiteral("empty") : content.left(64), {}};
    return Record{o.value(QLatin1String("adjustments")).toString().toUtf8(),
                  o.value(QLatin1String("overlay")).toString().toUtf8()};
}

void AdjustmentStore::parse(const Record &record, Loaded &loaded) const
{
    if (!record.adjustments.isEmpty()) {
        if (const Outcome o = readAdjustmentsRecord(record.adjustments, loaded.state); !o)
            loaded.problems.append(
                QStringLiteral("The adjustments stored for this picture are damaged (%1) and were ignored; "
                               "the picture is shown unadjusted.")
                    .arg(o.error()));
    }
    if (!record.overlay.isEmpty()) {
        if (const Outcome o = readOverlayRecord(record.overlay, loaded.state); !o)
            loaded.problems.append(
                QStringLiteral("The marks stored for this picture are damaged (%1) and were ignored.").arg(o.error()));
    }
}

AdjustmentStore::Loaded AdjustmentStore::load(qint32 entryCode, const QString &path)
{
    Loaded loaded;
    if (!onUiThread())
        return loaded;
    checkLink();
    if (!m_link || entryCode <= 0)
        return loaded;
    try {
        if (const std::optional<Record> record = readRecord(entryCode))
            parse(*record, loaded);
    } catch (const std::exception &e) {
        loaded.problems.append(QStringLiteral("The adjustments of this picture cannot be read: %1")
                                   .arg(QString::fromUtf8(e.what())));
    }
    for (const QString &problem : std::as_const(loaded.problems))
        qCWarning(lcComponent) << "entry" << entryCode << problem;
    remember(entryCode, path, loaded.state);
    return loaded;
}

void AdjustmentStore::remember(qint32 entryCode, const QString &path, const PictureState &state)
{
    QMutexLocker lock(&m_mutex);
    const QString key = adjustmentPathKey(path);
    if (state.isEmpty()) {
        m_byCode.remove(entryCode);
        if (!key.isEmpty())
            m_codeByPath.remove(key);
        return;
    }
    m_byCode.insert(entryCode, state);
    if (!key.isEmpty())
        m_codeByPath.insert(key, entryCode);
}

Outcome AdjustmentStore::save(qint32 entryCode, const QString &path, const PictureState &state)
{
    checkLink();
    if (!m_link)
        return Outcome::failure(QStringLiteral("No practice database is linked."));
    if (entryCode <= 0)
        return Outcome::failure(QStringLiteral("The picture is not an entry of a book."));
    const QString adjustments = state.isEmpty() ? QString() : QString::fromUtf8(adjustmentsRecord(state));
    const QString overlay = state.isEmpty() ? QString() : QString::fromUtf8(overlayRecord(state));
    try {
        if (usesHostTable()) {
            std::unique_ptr<Recordset> rs;
            const bool found = m_link->FillRecordSet(
                rs, QStringLiteral("SELECT * FROM %1 WHERE Entry_Code = %2").arg(tableName()).arg(entryCode));
            if (!rs)
                return Outcome::failure(QStringLiteral("The practice database did not answer."));
            if (state.isEmpty()) {
                if (found && !rs->isEof())
                    rs->deleteCurrent();
            } else {
                if (!found || rs->isEof()) {
                    rs->addNew();
                    rs->setValue(QStringLiteral("Entry_Code"), entryCode);
                }
                rs->setValue(QStringLiteral("FileName"), path);
                rs->setValue(QStringLiteral("Adjustments"), adjustments);
                rs->setValue(QStringLiteral("Overlay"), overlay);
                rs->update();
            }
        } else {
            const QString sidecar = sidecarPath(entryCode);
            if (sidecar.isEmpty())
                return Outcome::failure(QStringLiteral("The library files folder is not known."));
            if (state.isEmpty()) {
                if (QFile::exists(sidecar) && !QFile::remove(sidecar))
                    return Outcome::failure(QStringLiteral("\"%1\" cannot be removed.").arg(sidecar));
            } else {
                if (!QDir().mkpath(QFileInfo(sidecar).absolutePath()))
                    return Outcome::failure(QStringLiteral("The folder for \"%1\" cannot be made.").arg(sidecar));
                QSaveFile file(sidecar);
                const QJsonObject o{{QStringLiteral("file"), path},
                                    {QStringLiteral("adjustments"), adjustments},
                                    {QStringLiteral("overlay"), overlay}};
                if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(o).toJson()) < 0 || !file.commit())
                    return Outcome::failure(
                        QStringLiteral("\"%1\" cannot be written: %2").arg(sidecar, file.errorString()));
            }
        }
    } catch (const std::exception &e) {
        return Outcome::failure(QString::fromUtf8(e.what()));
    }
    remember(entryCode, path, state);
    Q_EMIT changed(entryCode, path);
    return {};
}

void AdjustmentStore::preload()
{
    if (!onUiThread())
        return;
    checkLink();
    if (!m_link || m_preloaded)
        return;
    m_preloaded = true;
    const auto keep = [this](qint32 code, const QString &path, const Record &record) {
        Loaded loaded;
        parse(record, loaded);
        if (code > 0)
            remember(code, path, loaded.state);
    };
    try {
        if (usesHostTable()) {
            std::unique_ptr<Recordset> rs;
            if (m_link->FillRecordSet(
                    rs, QStringLiteral("SELECT Entry_Code, FileName, Adjustments, Overlay FROM %1").arg(tableName()))
                && rs) {
                for (rs->moveFirst(); !rs->isEof(); rs->moveNext())
                    keep(rs->value(QStringLiteral("Entry_Code")).toInt(), text(rs->value(QStringLiteral("FileName"))),
                         {text(rs->value(QStringLiteral("Adjustments"))).toUtf8(),
                          text(rs->value(QStringLiteral("Overlay"))).toUtf8()});
            }
            return;
        }
        const QString folder = QFileInfo(sidecarPath(1)).absolutePath();
        const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files);
        for (const QFileInfo &info : files) {
            QFile file(info.absoluteFilePath());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QJsonObject o = QJsonDocument::fromJson(file.read(16 << 20)).object();
            keep(info.completeBaseName().toInt(), o.value(QLatin1String("file")).toString(),
                 {o.value(QLatin1String("adjustments")).toString().toUtf8(),
                  o.value(QLatin1String("overlay")).toString().toUtf8()});
        }
    } catch (const std::exception &e) {
        qCWarning(lcComponent) << "adjustments could not be listed:" << e.what();
    }
}

qint32 AdjustmentStore::entryForFile(const QString &path)
{
    checkLink();
    if (!m_link || path.isEmpty())
        return 0;
    {
        QMutexLocker lock(&m_mutex);
        if (const qint32 code = m_codeByPath.value(adjustmentPathKey(path), 0))
            return code;
    }
    // Hosts store the path as they were given it; try it as shown, cleaned
    // and with Windows separators.
    QStringList forms{path, adjustmentPathKey(path), QDir::toNativeSeparators(path)};
    QString backslashed = path;
    forms.append(backslashed.replace(u'/', u'\\'));
    forms.removeDuplicates();
    QStringList quoted;
    for (QString form : std::as_const(forms))
        quoted.append(u'\'' + form.replace(u'\'', QStringLiteral("''")) + u'\'');
    try {
        std::unique_ptr<Recordset> rs;
        if (m_link->FillRecordSet(rs, QStringLiteral("SELECT Entry_Code FROM BookContents WHERE FileName IN (%1)")
                                          .arg(quoted.join(QStringLiteral(", "))))
            && rs && !rs->isEof())
            return rs->value(QStringLiteral("Entry_Code")).toInt();
    } catch (const std::exception &e) {
        qCWarning(lcComponent) << "entry of" << path << "not found:" << e.what();
    }
    return 0;
}

std::optional<PictureState> AdjustmentStore::knownState(qint32 entryCode, const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    qint32 code = entryCode;
    if (code <= 0)
        code = m_codeByPath.value(adjustmentPathKey(path), 0);
    const auto it = m_byCode.constFind(code);
    if (it == m_byCode.cend())
        return std::nullopt;
    return *it;
}

} // namespace tovradocs::Internal

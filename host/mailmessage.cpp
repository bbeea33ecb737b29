#include "mailmessage.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QUuid>

namespace tovradocs::Internal {

namespace {

// RFC 2047 encoded word when the text is not plain ASCII.
QByteArray headerText(const QString &text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii)
        return text.toLatin1();
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

QByteArray quotedName(const QString &name)
{
    QString safe = name;
    safe.replace(u'"', u'\'').replace(u'\\', u'_');
    return '"' + headerText(safe) + '"';
}

QByteArray wrapBase64(const QByteArray &data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b64.size(); i += 76) {
        out += b64.mid(i, 76);
        out += "\r\n";
    }
    return out;
}

} // namespace

QByteArray MailMessage::toEml(QStringList *unreadable) const
{
    const QByteArray boundary = "tovradocs-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QByteArray out;
    out += "MIME-Version: 1.0\r\n";
    const int offsetMinutes = m_date.offsetFromUtc() / 60;
    const int absMinutes = qAbs(offsetMinutes);
    out += "Date: " + QLocale::c().toString(m_date, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1()
           + (offsetMinutes < 0 ? "-" : "+")
           + QByteArray::number(absMinutes / 60 * 100 + absMinutes % 60).rightJustified(4, '0') + "\r\n";
    out += "Subject: " + headerText(m_subject) + "\r\n";
    out += "X-Unsent: 1\r\n";
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n";

    out += "--" + boundary + "\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: base64\r\n\r\n";
    QString body = m_body;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
    out += wrapBase64(body.toUtf8());

    const QMimeDatabase mimes;
    for (const QString &path : m_attachments) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (unreadable)
                unreadable->append(path);
            continue;
        }
        const QString name = QFileInfo(path).fileName();
        const QByteArray type = mimes.mimeTypeForFile(path).name().toLatin1();
        out += "--" + boundary + "\r\n";
        out += "Content-Type: " + type + "; name=" + quotedName(name) + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: attachment; filename=" + quotedName(name) + "\r\n\r\n";
        out += wrapBase64(file.readAll());
    }
    out += "--" + boundary + "--\r\n";
    return out;
}

} // namespace tovradocs::Internal

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tovradocs::Internal {

// An RFC 822 / MIME message with a text part and file attachments, as a mail
// program opens it from an .eml file.
class MailMessage
{
public:
    void setSubject(const QString &subject) { m_subject = subject; }
    void setBody(const QString &body) { m_body = body; }
    void setDate(const QDateTime &date) { m_date = date; }
    void addAttachment(const QString &filePath) { m_attachments.append(filePath); }
    QStringList attachments() const { return m_attachments; }

    // Throws nothing; a file that cannot be read is left out and named in
    // unreadable.
    QByteArray toEml(QStringList *unreadable = nullptr) const;

private:
    QString m_subject;
    QString m_body;
    QDateTime m_date = QDateTime::currentDateTime();
    QStringList m_attachments;
};

} // namespace tovradocs::Internal

#include "schema.h"
#include "sqlfailure.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tovradocs::Internal {

namespace {

using K = ColumnKind;

// Every table starts with its key. Column names shared between tables keep
// one kind, which is what lets a joined result read back typed.
QList<TableDef> makeTables()
{
    const ColumnDef key{QStringLiteral("Entry_Code"), K::Key};
    auto t = [&](const char *name, QList<ColumnDef> cols) {
        cols.prepend(key);
        return TableDef{QString::fromLatin1(name), cols};
    };
    auto c = [](const char *name, ColumnKind kind) { return ColumnDef{QString::fromLatin1(name), kind}; };
    const QList<ColumnDef> pickList = {c("Description", K::Text), c("AppliesTo", K::Long),
                                       c("ChartWorkAvailable", K::Bool), c("IconPos", K::Long),
                                       c("MtrlRequired", K::Bool), c("Image", K::Blob), c("Hide", K::Bool)};
    const QList<ColumnDef> patientRow = {c("PatientCode", K::Long), c("VisitCode", K::Long),
                                         c("ToothFrom", K::Long), c("ToothTo", K::Long),
                                         c("Notes", K::Text)};
    auto withRow = [&](QList<ColumnDef> extra) { return patientRow + extra; };

    return {
        t("Books", {c("Description", K::Text), c("PatientCode", K::Long),
                    c("StageColor", K::Long), c("BackColor", K::Long), c("ForeColor", K::Long),
                    c("HighlightColor", K::Long), c("ShadowColor", K::Long),
                    c("FontName", K::Text), c("FontSize", K::Double), c("FontBold", K::Bool),
                    c("FontItalic", K::Bool), c("FontUnderline", K::Bool), c("Font3D", K::Long),
                    c("TextAlignment", K::Long),
                    c("ImageLeft", K::Double), c("ImageTop", K::Double), c("ImageWidth", K::Double),
                    c("ImageHeight", K::Double), c("TextLeft", K::Double), c("TextTop", K::Double),
                    c("TextWidth", K::Double), c("TextHeight", K::Double),
                    c("DropX", K::Double), c("DropY", K::Double), c("ShadowDepth", K::Double),
                    c("Repeat", K::Bool), c("Speak", K::Bool), c("ViewStartPage", K::Bool),
                    c("ClickToProceed", K::Bool)}),
        t("BookContents", {c("BookCode", K::Long), c("Description", K::Text), c("FileName", K::Text),
                           c("EntryType", K::Long), c("EntryDate", K::Date), c("IndexImage", K::Bool),
                           c("CTEffect", K::Long), c("Category", K::Long), c("OnScreenTime", K::Long),
                           c("PlaySound", K::Bool), c("SoundFile", K::Text),
                           c("Comments", K::Text)}),
        t("Patients", {c("Title", K::Text), c("FirstName", K::Text), c("LastName", K::Text),
                       c("Sex", K::Text), c("BirthDate", K::Date),
                       c("ResAdd1", K::Text), c("ResAdd2", K::Text), c("ResAdd3", K::Text),
                       c("ResCity", K::Text), c("ResPin", K::Text), c("PhoneRes1", K::Text),
                       c("PhoneRes2", K::Text), c("Email", K::Text), c("RegistrationDate", K::Date)}),
        t("Visits", {c("PatientCode", K::Long), c("VisitDate", K::Date), c("OPDPatient", K::Bool),
                     c("Notes", K::Text)}),
        t("DocumentCategories", {c("Description", K::Text)}),
        t("SystemLists", {c("SubID", K::Long), c("Description", K::Text), c("ParentID", K::Long)}),
        t("Videos", {c("Description", K::Text), c("FileName", K::Text)}),
        t("PatReports", {c("Description", K::Text), c("FooterText", K::Text)}),
        t("teethnames", {c("ToothNumber", K::Long), c("ToothName", K::Text), c("Quadrant", K::Long)}),
        t("Complaints", pickList),
        t("PossibleExaminations", pickList),
        t("PossibleTreatments", pickList),
        t("WorkSteps", pickList),
        t("PatientsComplaints", withRow({c("ComplaintCode", K::Long)})),
        t("PatientsExaminations", withRow({c("ExaminationCode", K::Long)})),
        t("PatientsTreatmentPlans", {c("PatientCode", K::Long), c("PlanDate", K::Date),
                                     c("Accepted", K::Bool), c("Notes", K::Text)}),
        t("PatientsTreatments", withRow({c("TreatmentCode", K::Long), c("TreatmentPlanCode", K::Long)})),
        t("PatientsWorkDone", withRow({c("WorkDoneCode", K::Long)})),
        t("MedicineBrands", {c("Description", K::Text), c("Dosageform", K::Text), c("Potency", K::Text)}),
        t("PatientsPrescriptions", {c("PatientCode", K::Long), c("VisitCode", K::Long),
                                    c("BrandVariantCode", K::Long), c("Dosage", K::Text),
                                    c("Days", K::Long)}),
        t("IllustrationTemplates", {c("Description", K::Text), c("IllustrationFile", K::Text)}),
        // How a picture entry is shown (window, tone, turns, crop) and its
        // marks; the file itself is never rewritten.
        t("PictureAdjustments", {c("FileName", K::Text), c("Adjustments", K::Text), c("Overlay", K::Text)}),
    };
}

struct SchemaIndex
{
    QList<TableDef> tables = makeTables();
    QHash<QString, int> tableByName;
    QHash<QString, ColumnKind> kinds;
    QHash<QString, QString> canonical;

    SchemaIndex()
    {
        for (int i = 0; i < tables.size(); ++i) {
            const TableDef &t = tables.at(i);
            tableByName.insert(t.name.toLower(), i);
            canonical.insert(t.name.toLower(), t.name);
            for (const ColumnDef &col : t.columns) {
                const QString lower = col.name.toLower();
                kinds.insert(lower, col.kind == K::Key ? K::Long : col.kind);
                canonical.insert(lower, col.name);
            }
        }
        for (const char *extra : {"SettingNumber", "SettingValue", "ValueType", "TableName", "NextKey"})
            canonical.insert(QString::fromLatin1(extra).toLower(), QString::fromLatin1(extra));
    }
};

const SchemaIndex &schemaIndex()
{
    static const SchemaIndex index;
    return index;
}

QString columnType(ColumnKind kind, Dialect dialect)
{
    const bool pg = dialect == Dialect::PostgreSQL;
    switch (kind) {
    case K::Key: return QStringLiteral("INTEGER PRIMARY KEY");
    case K::Long: return QStringLiteral("INTEGER");
    case K::Double: return pg ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    case K::Text: return QStringLiteral("TEXT");
    case K::Bool: return pg ? QStringLiteral("SMALLINT DEFAULT 0") : QStringLiteral("INTEGER DEFAULT 0");
    case K::Date: return QStringLiteral("DATE");
    case K::DateTime: return pg ? QStringLiteral("TIMESTAMP") : QStringLiteral("DATETIME");
    case K::Blob: return pg ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    case K::Unknown: break;
    }
    return QStringLiteral("TEXT");
}

void run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throwSqlFailure(q.lastError(), sql);
}

} // namespace

const QList<TableDef> &Schema::tables()
{
    return schemaIndex().tables;
}

const TableDef *Schema::table(const QString &name)
{
    const auto &index = schemaIndex();
    const auto it = index.tableByName.constFind(name.toLower());
    return it == index.tableByName.cend() ? nullptr : &index.tables.at(*it);
}

ColumnKind Schema::kindOf(const QString &column)
{
    return schemaIndex().kinds.value(column.toLower(), K::Unknown);
}

QString Schema::canonicalName(const QString &name)
{
    return schemaIndex().canonical.value(name.toLower());
}

void Schema::create(QSqlDatabase &db, Dialect dialect)
{
    for (const TableDef &t : tables()) {
        QStringList cols;
        for (const ColumnDef &col : t.columns)
            cols.append(col.name + u' ' + columnType(col.kind, dialect));
        run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(t.name, cols.join(u", ")));
        // A database made by an older build gains the columns added since.
        const QSqlRecord existing = db.record(t.name);
        for (const ColumnDef &col : t.columns) {
            if (!existing.isEmpty() && existing.indexOf(col.name) < 0
                && existing.indexOf(col.name.toLower()) < 0)
                run(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                            .arg(t.name, col.name, columnType(col.kind, dialect)));
        }
    }
    run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (SettingNumber INTEGER PRIMARY KEY, "
                           "SettingValue TEXT, ValueType TEXT)").arg(settingsTable()));
    run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (TableName TEXT PRIMARY KEY, "
                           "NextKey INTEGER NOT NULL)").arg(keyCountersTable()));
    run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Name TEXT PRIMARY KEY, Applied TEXT)")
                .arg(upgradesTable()));
    run(db, QStringLiteral("CREATE INDEX IF NOT EXISTS ix_bookcontents_bookcode ON BookContents (BookCode)"));
    run(db, QStringLiteral("CREATE INDEX IF NOT EXISTS ix_books_patientcode ON Books (PatientCode)"));
    run(db, QStringLiteral("CREATE INDEX IF NOT EXISTS ix_visits_patientcode ON Visits (PatientCode)"));
    run(db, QStringLiteral("CREATE INDEX IF NOT EXISTS ix_systemlists_parentid ON SystemLists (ParentID)"));

    // Defaults are added only where a setting has never been stored.
    struct Default { int number; const char *value; const char *type; };
    static const Default defaults[] = {
        {2, "Practice Dentist", "s"}, {57, "120", "i"}, {58, "90", "i"}, {61, "jpg", "s"},
        {104, "0", "b"}, {116, "0", "i"}, {130, "0", "b"}, {132, "0", "i"}, {164, "", "s"},
    };
    QSqlQuery q(db);
    const QString insert = QStringLiteral("INSERT INTO %1 (SettingNumber, SettingValue, ValueType) "
                                          "VALUES (?, ?, ?) ON CONFLICT (SettingNumber) DO NOTHING")
                               .arg(settingsTable());
    if (!q.prepare(insert))
        throwSqlFailure(q.lastError(), insert);
    for (const Default &d : defaults) {
        q.bindValue(0, d.number);
        q.bindValue(1, QString::fromUtf8(d.value));
        q.bindValue(2, QString::fromLatin1(d.type));
        if (!q.exec())
            throwSqlFailure(q.lastError(), insert);
    }
}

} // namespace tovradocs::Internal

#include "pdfcheck.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include "component/dialogservice.h"
#include "host/demopractice.h"
#include "printing/systemprinter.h"

#include <tovradocs/mediamanager.h>

#include <QComboBox>
#include <QDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

// The visit of the demo practice whose every section has rows.
constexpr qint32 kVisit = 1;
constexpr qint32 kPatient = 1;

int printStraightAway(QDialog *dialog)
{
    auto *printers = child<QComboBox>(dialog, "cboPrinter");
    printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
    Q_EMIT printers->activated(printers->currentIndex());
    child<QPushButton>(dialog, "cmdPrint")->click();
    return dialog->result();
}

// Which clinical section each statement reads, in the order sent.
QStringList sectionsRead(const QStringList &sql)
{
    QStringList sections;
    for (const QString &s : sql) {
        for (const char *table : {"PatientsComplaints", "PatientsExaminations", "PatientsTreatments",
                                  "PatientsWorkDone", "PatientsPrescriptions", "teethnames", "PatReports"}) {
            if (s.contains(QLatin1String(table) + QLatin1Char('.')) || s.endsWith(QLatin1String(table))
                || s.contains(QStringLiteral("from %1 ").arg(QLatin1String(table)))) {
                sections << QLatin1String(table);
                break;
            }
        }
    }
    return sections;
}

} // namespace

class TestPatientReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void statementsPerSectionBits_data();
    void statementsPerSectionBits();
    void sectionsOnThePage();
    void visitWithoutRowsPrintsHeadingsOnly();

private:
    QString run(PtImageReports kind, qint32 visit, const QString &name);

    QTemporaryDir m_temp;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_recording;
    ScriptedResponder m_responder;
    QString m_chart;
};

void TestPatientReport::initTestCase()
{
    if (!pdfcheck::toolsPresent())
        QSKIP("poppler-utils (pdfinfo, pdftoppm, pdftotext) are not installed");
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_temp.isValid());
    m_host = openTestHost(m_temp.filePath(QStringLiteral("host")), true);
    QVERIFY(m_host);
    m_recording = std::make_shared<RecordingDataLink>(m_host);
    m_chart = DemoPractice::chartFile(m_host->GetLibraryFilesFolder(), kVisit);
    QVERIFY(QFile::exists(m_chart));
    registerHostObjects();
    DialogService::setResponder(&m_responder);
}

void TestPatientReport::init()
{
    SystemPrinter::reset();
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
    m_recording->clear();
}

QString TestPatientReport::run(PtImageReports kind, qint32 visit, const QString &name)
{
    const QString out = m_temp.filePath(name + QStringLiteral(".pdf"));
    m_responder.pushModal(printStraightAway);
    m_responder.pushText(out);
    MediaManager manager;
    QWidget *none = nullptr;
    manager.SetDataLink(m_recording, none);
    manager.RunPatientReportWithImages(kind, visit, m_chart, 41, 1);
    return out;
}

void TestPatientReport::statementsPerSectionBits_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("sections");
    const QString c = QStringLiteral("PatientsComplaints"), e = QStringLiteral("PatientsExaminations"),
                  t = QStringLiteral("PatientsTreatments"), w = QStringLiteral("PatientsWorkDone"),
                  p = QStringLiteral("PatientsPrescriptions");
    QTest::newRow("complaints") << 1 << QStringList{c};
    QTest::newRow("condition") << 2 << QStringList{e};
    QTest::newRow("treatment advised") << 4 << QStringList{t};
    QTest::newRow("treatment done") << 24 << QStringList{w, p};
    QTest::newRow("check-up") << 66 << QStringList{e, t};
    QTest::newRow("every section") << 31 << QStringList{c, e, t, w, p};
    QTest::newRow("images only") << 128 << QStringList{};
}

void TestPatientReport::statementsPerSectionBits()
{
    QFETCH(int, kind);
    QFETCH(QStringList, sections);
    run(PtImageReports(kind), kVisit, QStringLiteral("bits%1").arg(kind));
    const QStringList sql = m_recording->sqlTexts();
    QCOMPARE(sql.value(0), QStringLiteral("Select PatientCode , VisitDate From Visits where (Entry_Code = 1)"));
    QVERIFY(sql.value(1).startsWith(QStringLiteral("Select BookContents.* From Books,BookContents")));
    QStringList expected;
    if (kind != 128)
        expected << QStringLiteral("PatReports") << QStringLiteral("teethnames");
    expected += sections;
    QCOMPARE(sectionsRead(sql.mid(2)), expected);
    if (kind == 128)
        return;
    QCOMPARE(sql.value(2), QStringLiteral("Select * from PatReports where Entry_code = 1"));
    QCOMPARE(sql.value(3), QStringLiteral("Select Patients.*  from Patients,Visits  where (Visits.Patientcode = "
                                          "Patients.Entry_code)  and ( Visits.Entry_code = 1 ) "));
    QCOMPARE(m_recording->callsOf(QStringLiteral("FillDaoRecordSet")), QStringList{QStringLiteral("Select * from teethnames")});
    for (const QString &s : sql) {
        if (!s.contains(QStringLiteral("PatientsTreatmentPlans.Entry_Code")))
            continue;
        QCOMPARE(s.endsWith(QStringLiteral(" and ( PatientsTreatments.VisitCode =1 )  and ( PatientsTreatmentPlans.Accepted =True ) ")),
                 bool(kind & 64));
    }
    for (const QString &s : sql) {
        if (s.contains(QStringLiteral("PatientsPrescriptions.PatientCode")))
            QVERIFY(s.endsWith(QStringLiteral("where (PatientsPrescriptions.PatientCode = 1 )   order by Visits.VisitDate")));
    }
}

void TestPatientReport::sectionsOnThePage()
{
    const QString out = run(PtImageReports(31), kVisit, QStringLiteral("full"));
    const QString first = pdfcheck::text(out, 1);
    qint32 patient = kPatient;
    const QString name = m_host->GetNameOfPatient(patient);
    for (const QString &expected : {QStringLiteral("Visit Summary"), name, QStringLiteral("Address"),
                                    QStringLiteral("Harbour Street"), QStringLiteral("Tel."), QStringLiteral("41"), QStringLiteral("555-0110"),
                                    QStringLiteral("Complaints :"), QStringLiteral("Toothache"),
                                    QStringLiteral("Present Condition :"), QStringLiteral("Caries"),
                                    QStringLiteral("36-37"), QStringLiteral("Treatment Advised :"),
                                    QStringLiteral("Composite filling"), QStringLiteral("Crown"),
                                    QStringLiteral("Thank you for visiting.")})
        QVERIFY2(first.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + first));
    // A complaint of the whole mouth has no teeth.
    const QString gums = first.section(QStringLiteral("Bleeding gums"), 1).section(u'\n', 0, 0);
    QVERIFY2(gums.trimmed().isEmpty(), qPrintable(gums));
    const QString second = pdfcheck::text(out, 2);
    for (const QString &expected : {QStringLiteral("Treatment Done :"), QStringLiteral("Composite placed"),
                                    QStringLiteral("Prescriptions Advised :"), QStringLiteral("Amoxicillin"),
                                    // prescribed at the next visit, listed all the same
                                    QStringLiteral("Ibuprofen"), QStringLiteral("1 tablet three times a day")})
        QVERIFY2(second.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + second));
    QVERIFY(second.indexOf(QStringLiteral("Amoxicillin")) < second.indexOf(QStringLiteral("Ibuprofen")));
    // The pictures of the patient follow on pages of their own.
    QVERIFY(pdfcheck::pages(out) >= 3);

    // The chart is drawn in its box below the particulars.
    const QImage page = pdfcheck::render(out, 1, 50);
    const QRectF marked = pdfcheck::inkBox(page, 50, [](QRgb p) { return pdfcheck::near(p, QColor(0xE0, 0x40, 0x40), 40); });
    QVERIFY(!marked.isEmpty());
    QVERIFY(marked.top() > 1.5 && marked.bottom() < 1.5 + 11.0 / 4 + 0.3);

    // Accepted plans only for a check-up.
    const QString checkup = pdfcheck::text(run(pirCheckup, kVisit, QStringLiteral("checkup")), 1);
    QVERIFY(checkup.contains(QStringLiteral("Composite filling")));
    QVERIFY(!checkup.contains(QStringLiteral("Crown")));
    QVERIFY(!checkup.contains(QStringLiteral("Complaints :")));
}

void TestPatientReport::visitWithoutRowsPrintsHeadingsOnly()
{
    // The patient's second visit has no complaints.
    const QString text = pdfcheck::text(run(pirComplaints, kVisit + 1, QStringLiteral("norows")), 1);
    QVERIFY(text.contains(QStringLiteral("Visit Summary")));
    QVERIFY(text.contains(QStringLiteral("Thank you for visiting.")));
    QVERIFY(!text.contains(QStringLiteral("Complaints :")));
}

QTEST_MAIN(TestPatientReport)
#include "tst_patientreport.moc"

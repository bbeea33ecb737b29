#include "demopractice.h"
#include "demoillustrations.h"
#include "fditoothnotation.h"
#include "hostdatabase.h"
#include "referencehost.h"
#include "viewers/tovratutor.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QProcess>
#include <QRadialGradient>
#include <QVariantMap>

namespace tovradocs::Internal {

namespace {

bool canDrawText()
{
    // Fonts need a GUI application; a console host gets pictures without text.
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

// A row of teeth on gums, in the spirit of an intraoral photograph.
QImage clinicalPicture(QSize size, int seed, const QString &caption)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();
    QLinearGradient gums(0, 0, 0, h);
    gums.setColorAt(0, QColor(120, 30, 45));
    gums.setColorAt(0.45, QColor::fromHsv((350 + seed * 7) % 360, 110, 215));
    gums.setColorAt(1, QColor(90, 20, 35));
    p.fillRect(image.rect(), gums);

    const int teeth = 4 + seed % 4;
    const qreal toothW = w / (teeth + 1);
    for (int i = 0; i < teeth; ++i) {
        const qreal x = toothW * (i + 0.5);
        const qreal top = h * (0.18 + 0.04 * ((i + seed) % 3));
        const qreal crownH = h * 0.42;
        QPainterPath tooth;
        tooth.moveTo(x + toothW * 0.1, top + crownH * 0.25);
        tooth.cubicTo(x + toothW * 0.1, top - crownH * 0.05, x + toothW * 0.9, top - crownH * 0.05,
                      x + toothW * 0.9, top + crownH * 0.25);
        tooth.lineTo(x + toothW * 0.82, top + crownH);
        tooth.cubicTo(x + toothW * 0.7, top + crownH * 1.08, x + toothW * 0.3, top + crownH * 1.08,
                      x + toothW * 0.18, top + crownH);
        tooth.closeSubpath();
        QRadialGradient enamel(QPointF(x + toothW * 0.4, top + crownH * 0.3), toothW * 0.8);
        enamel.setColorAt(0, QColor(255, 253, 240));
        enamel.setColorAt(0.7, QColor(236, 226, 196));
        enamel.setColorAt(1, QColor(196, 182, 150));
        p.setPen(QPen(QColor(150, 130, 110), qMax<qreal>(1.0, w / 400)));
        p.setBrush(enamel);
        p.drawPath(tooth);
        if ((i + seed) % 5 == 2) {
            // A lesion or filling to look at.
            p.setPen(Qt::NoPen);
            p.setBrush(seed % 2 ? QColor(90, 70, 50, 200) : QColor(170, 175, 185));
            p.drawEllipse(QPointF(x + toothW * 0.5, top + crownH * 0.45), toothW * 0.12, crownH * 0.1);
        }
    }
    if (canDrawText() && !caption.isEmpty()) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(qMax(12, int(h / 18)));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, h * 0.86, w, h * 0.12), Qt::AlignCenter, caption);
    }
    return image;
}

QByteArray iconPng(int seed)
{
    QImage icon(48, 48, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromHsv(seed * 47 % 360, 160, 220));
    p.setPen(QPen(Qt::black, 1.5));
    QPainterPath tooth;
    tooth.moveTo(10, 14);
    tooth.cubicTo(10, 2, 38, 2, 38, 14);
    tooth.lineTo(34, 44);
    tooth.lineTo(26, 30);
    tooth.lineTo(22, 30);
    tooth.lineTo(14, 44);
    tooth.closeSubpath();
    p.drawPath(tooth);
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.save(&buffer, "PNG");
    return png;
}

class Filler
{
public:
    explicit Filler(ReferenceHost &host) : m_host(host) {}

    void add(const QString &table, const QVariantMap &values)
    {
        std::unique_ptr<Recordset> &rs = m_sets[table];
        if (!rs)
            m_host.FillRecordSet(rs, QStringLiteral("Select * From %1 where Entry_Code = -1").arg(table));
        rs->addNew();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            rs->setValue(it.key(), it.value());
        rs->update();
    }
    void close()
    {
        for (auto &[table, rs] : m_sets)
            rs->close();
        m_sets.clear();
    }

private:
    ReferenceHost &m_host;
    std::map<QString, std::unique_ptr<Recordset>> m_sets;
};

struct Picture
{
    QSize size;
    const char *format;
    const char *caption;
};

// The dental chart of a visit: both arches in FDI numbering, with the teeth
// the visit's findings and treatments name marked.
QImage dentalChart(const QHash<int, QColor> &marked)
{
    QImage image(960, 480, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const bool text = canDrawText();
    if (text)
        p.setFont(QFont(QStringLiteral("Liberation Sans"), 14));
    const int upper[16] = {18, 17, 16, 15, 14, 13, 12, 11, 21, 22, 23, 24, 25, 26, 27, 28};
    const int lower[16] = {48, 47, 46, 45, 44, 43, 42, 41, 31, 32, 33, 34, 35, 36, 37, 38};
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 16; ++i) {
            const int tooth = row == 0 ? upper[i] : lower[i];
            const QRectF box(24 + i * 57, row == 0 ? 60 : 270, 48, 150);
            p.setPen(QPen(QColor(0x60, 0x60, 0x60), 2));
            p.setBrush(marked.value(tooth, QColor(0xF4, 0xF0, 0xE6)));
            p.drawRoundedRect(box, 14, 14);
            if (text)
                p.drawText(QRectF(box.left(), row == 0 ? 20 : 425, box.width(), 30), Qt::AlignCenter,
                           QString::number(tooth));
        }
    }
    p.setPen(QPen(Qt::black, 2, Qt::DashLine));
    p.drawLine(480, 40, 480, 440);
    p.drawLine(10, 240, 950, 240);
    return image;
}

} // namespace

bool DemoPractice::isEmpty(ReferenceHost &host)
{
    std::unique_ptr<Recordset> rs;
    const bool patients = host.FillRecordSet(rs, QStringLiteral("Select Entry_Code From Patients"));
    const bool books = host.FillRecordSet(rs, QStringLiteral("Select Entry_Code From Books"));
    return !patients && !books;
}

Outcome DemoPractice::create(ReferenceHost &host)
{
    try {
        if (!isEmpty(host))
            return Outcome();
        std::shared_ptr<HostDatabase> db = host.database();
        db->beginWrite(); // one transaction for the whole practice
        Filler fill(host);
        const QDate today = QDate::currentDate();

        struct Person { const char *first, *last, *sex, *city; int birthYear; };
        static const Person people[] = {
            {"Ivy", "Marsh", "F", "Northbridge", 1984}, {"Tom", "Reed", "M", "Northbridge", 1971},
            {"Asha", "Verma", "F", "Eastfield", 1992}, {"Lukas", "Brandt", "M", "Eastfield", 1958},
            {"Mei", "Tanaka", "F", "Riverside", 2009}, {"Omar", "Haddad", "M", "Riverside", 1966},
            {"Sofia", "Lind", "F", "Hillcrest", 1999}, {"Daniel", "Okafor", "M", "Hillcrest", 1980},
            {"Clara", "Novak", "F", "Northbridge", 1975}, {"Pedro", "Alves", "M", "Eastfield", 2014},
            {"Nina", "Kowalski", "F", "Riverside", 1988}, {"Arjun", "Rao", "M", "Hillcrest", 1963},
        };
        const int patientCount = int(std::size(people));
        for (int i = 0; i < patientCount; ++i) {
            const Person &person = people[i];
            fill.add(QStringLiteral("Patients"),
                     {{"Entry_Code", i + 1}, {"FirstName", person.first}, {"LastName", person.last},
                      {"Sex", person.sex}, {"Title", QString::fromLatin1(*person.sex == 'F' ? "Ms" : "Mr")},
                      {"BirthDate", QDate(person.birthYear, 1 + i % 12, 3 + i * 2)},
                      {"ResAdd1", QStringLiteral("%1 Harbour Street").arg(10 + i * 7)},
                      {"ResAdd2", i % 3 == 0 ? QStringLiteral("Flat %1").arg(i + 2) : QString()},
                      {"ResCity", person.city}, {"ResPin", QStringLiteral("%1").arg(40100 + i * 13)},
                      {"PhoneRes1", QStringLiteral("555-01%1").arg(10 + i)},
                      {"Email", QStringLiteral("%1.%2@example.org").arg(QString::fromLatin1(person.first).toLower(),
                                                                         QString::fromLatin1(person.last).toLower())},
                      {"RegistrationDate", today.addDays(-400 + i * 9)}});
            for (int v = 0; v < 2; ++v)
                fill.add(QStringLiteral("Visits"), {{"Entry_Code", i * 2 + v + 1}, {"PatientCode", i + 1},
                                                    {"VisitDate", today.addDays(-200 + v * 120 + i * 3)},
                                                    {"OPDPatient", false},
                                                    {"Notes", v ? QStringLiteral("Review") : QStringLiteral("First visit")}});
        }

        static const char *categories[] = {"Brochures", "Consent Forms", "Intraoral Photos",
                                           "Referral Letters", "Treatment Plans", "X-Rays"};
        for (int i = 0; i < int(std::size(categories)); ++i)
            fill.add(QStringLiteral("DocumentCategories"), {{"Entry_Code", i + 1}, {"Description", categories[i]}});

        // Entry_Code and SubID coincide, so either one stored as the page's
        // transition names the same effect.
        static const char *transitions[] = {"None", "Fade", "Dissolve", "Wipe Left", "Wipe Right",
                                            "Wipe Up", "Wipe Down", "Slide Left", "Slide Right", "Zoom In",
                                            "Box Out", "Blinds"};
        for (int i = 0; i < int(std::size(transitions)); ++i)
            fill.add(QStringLiteral("SystemLists"), {{"Entry_Code", i + 1}, {"SubID", i + 1},
                                                     {"Description", transitions[i]}, {"ParentID", 71}});

        static const char *videos[][2] = {{"Brushing Technique", "\\brushing.avi"},
                                          {"Flossing", "\\flossing.avi"}};
        for (int i = 0; i < int(std::size(videos)); ++i)
            fill.add(QStringLiteral("Videos"), {{"Entry_Code", i + 1}, {"Description", videos[i][0]},
                                                {"FileName", videos[i][1]}});

        fill.add(QStringLiteral("PatReports"), {{"Entry_Code", 1}, {"Description", "Visit Summary"},
                                                {"FooterText", "Thank you for visiting. Call us on 555-0100 with any questions."}});

        static const char *toothTypes[] = {"Central Incisor", "Lateral Incisor", "Canine", "First Premolar",
                                           "Second Premolar", "First Molar", "Second Molar", "Third Molar"};
        static const char *primaryTypes[] = {"Central Incisor", "Lateral Incisor", "Canine", "First Molar",
                                             "Second Molar"};
        static const char *quadrants[] = {"Upper Right", "Upper Left", "Lower Left", "Lower Right"};
        int toothKey = 1;
        for (int q = 1; q <= 8; ++q) {
            for (int t = 1; t <= (q <= 4 ? 8 : 5); ++t) {
                const QString name = QStringLiteral("%1 %2%3")
                                         .arg(QLatin1String(quadrants[(q - 1) % 4]),
                                              q > 4 ? QStringLiteral("Primary ") : QString(),
                                              QLatin1String(q <= 4 ? toothTypes[t - 1] : primaryTypes[t - 1]));
                fill.add(QStringLiteral("teethnames"), {{"Entry_Code", toothKey++}, {"ToothNumber", q * 10 + t},
                                                        {"ToothName", name}, {"Quadrant", q}});
            }
        }

        const QList<QPair<QString, QStringList>> lists = {
            {QStringLiteral("Complaints"), {"Toothache", "Bleeding gums", "Sensitivity to cold", "Broken filling", "Bad breath"}},
            {QStringLiteral("PossibleExaminations"), {"Caries", "Gingivitis", "Calculus", "Fractured cusp", "Periapical lesion"}},
            {QStringLiteral("PossibleTreatments"), {"Composite filling", "Scaling and polishing", "Root canal treatment", "Crown", "Extraction"}},
            {QStringLiteral("WorkSteps"), {"Local anaesthesia", "Cavity preparation", "Composite placed", "Impression taken", "Sutures placed"}},
        };
        for (const auto &[table, items] : lists) {
            for (int i = 0; i < items.size(); ++i)
                fill.add(table, {{"Entry_Code", i + 1}, {"Description", items.at(i)},
                                 {"AppliesTo", i == 1 || i == 4 ? 3 : 1}, {"ChartWorkAvailable", i % 2 == 0},
                                 {"IconPos", i}, {"MtrlRequired", i == 3}, {"Image", iconPng(i + table.size())},
                                 {"Hide", i == 4}});
        }
        static const char *medicines[][3] = {{"Amoxicillin", "Capsule", "500 mg"},
                                             {"Ibuprofen", "Tablet", "400 mg"},
                                             {"Chlorhexidine", "Mouthwash", "0.2 %"}};
        for (int i = 0; i < 3; ++i)
            fill.add(QStringLiteral("MedicineBrands"), {{"Entry_Code", i + 1}, {"Description", medicines[i][0]},
                                                        {"Dosageform", medicines[i][1]}, {"Potency", medicines[i][2]}});

        // Clinical records for the first two patients, visit by visit.
        int rowKey = 1;
        for (int patient = 1; patient <= 2; ++patient) {
            const int visit = (patient - 1) * 2 + 1;
            fill.add(QStringLiteral("PatientsComplaints"), {{"Entry_Code", rowKey}, {"PatientCode", patient},
                                                            {"VisitCode", visit}, {"ComplaintCode", 1},
                                                            {"ToothFrom", 36}, {"ToothTo", 36}});
            fill.add(QStringLiteral("PatientsComplaints"), {{"Entry_Code", rowKey + 1}, {"PatientCode", patient},
                                                            {"VisitCode", visit}, {"ComplaintCode", 2},
                                                            {"ToothFrom", 0}, {"ToothTo", 0}});
            fill.add(QStringLiteral("PatientsExaminations"), {{"Entry_Code", rowKey}, {"PatientCode", patient},
                                                              {"VisitCode", visit}, {"ExaminationCode", 1},
                                                              {"ToothFrom", 36}, {"ToothTo", 37}});
            fill.add(QStringLiteral("PatientsTreatmentPlans"), {{"Entry_Code", patient * 2 - 1}, {"PatientCode", patient},
                                                                {"PlanDate", today.addDays(-190)}, {"Accepted", true}});
            fill.add(QStringLiteral("PatientsTreatmentPlans"), {{"Entry_Code", patient * 2}, {"PatientCode", patient},
                                                                {"PlanDate", today.addDays(-190)}, {"Accepted", false}});
            fill.add(QStringLiteral("PatientsTreatments"), {{"Entry_Code", rowKey}, {"PatientCode", patient},
                                                            {"VisitCode", visit}, {"TreatmentCode", 1},
                                                            {"TreatmentPlanCode", patient * 2 - 1},
                                                            {"ToothFrom", 36}, {"ToothTo", 36}});
            fill.add(QStringLiteral("PatientsTreatments"), {{"Entry_Code", rowKey + 1}, {"PatientCode", patient},
                                                            {"VisitCode", visit}, {"TreatmentCode", 4},
                                                            {"TreatmentPlanCode", patient * 2},
                                                            {"ToothFrom", 46}, {"ToothTo", 46}});
            fill.add(QStringLiteral("PatientsWorkDone"), {{"Entry_Code", rowKey}, {"PatientCode", patient},
                                                          {"VisitCode", visit}, {"WorkDoneCode", 3},
                                                          {"ToothFrom", 36}, {"ToothTo", 36}});
            for (int v = 0; v < 2; ++v)
                fill.add(QStringLiteral("PatientsPrescriptions"), {{"Entry_Code", rowKey + v}, {"PatientCode", patient},
                                                                   {"VisitCode", visit + v}, {"BrandVariantCode", v + 1},
                                                                   {"Dosage", v ? "1 tablet three times a day" : "1 capsule every 8 hours"},
                                                                   {"Days", 5}});
            rowKey += 2;
        }

        // Books and their pages, with pictures drawn here.
        int bookKey = 1;
        int pageKey = 1;
        auto addPage = [&](int book, int type, const QString &file, const QString &caption, const QDate &date,
                           bool index, int category) {
            fill.add(QStringLiteral("BookContents"),
                     {{"Entry_Code", pageKey++}, {"BookCode", book}, {"Description", caption}, {"FileName", file},
                      {"EntryType", type}, {"EntryDate", date}, {"IndexImage", index}, {"CTEffect", 1 + pageKey % 5},
                      {"Category", category}, {"OnScreenTime", 5}, {"PlaySound", false}});
        };
        auto savePicture = [&](int book, const Picture &pic, int seed) {
            const QString path = host.NextFileName(1, book, pageKey, QString::fromLatin1(pic.format));
            QImageWriter writer(path, pic.format);
            if (qstrcmp(pic.format, "jpg") == 0)
                writer.setQuality(85);
            if (!writer.write(clinicalPicture(pic.size, seed, QString::fromLatin1(pic.caption))))
                throw HostError(75, QStringLiteral("Cannot write the demo picture %1: %2").arg(path, writer.errorString()));
            return path;
        };

        static const Picture patientPictures[] = {
            {{640, 480}, "jpg", "Upper arch"}, {{640, 480}, "png", "Lower arch"}, {{800, 600}, "jpg", "Left side"},
            {{640, 480}, "bmp", "Bite"},
        };
        for (int i = 0; i < patientCount; ++i) {
            if (i == 10 || i == 11)
                continue; // two patients have no book yet
            const int book = bookKey++;
            fill.add(QStringLiteral("Books"), {{"Entry_Code", book},
                                               {"Description", QStringLiteral("%1 %2").arg(QLatin1String(people[i].first),
                                                                                          QLatin1String(people[i].last))},
                                               {"PatientCode", i + 1}, {"StageColor", 0}, {"BackColor", 0},
                                               {"ForeColor", 16777215}, {"FontName", "Liberation Sans"},
                                               {"FontSize", 18}, {"Repeat", false}, {"ClickToProceed", true}});
            const int pictures = 2 + i % 3;
            for (int n = 0; n < pictures; ++n) {
                const Picture &pic = patientPictures[(i + n) % 4];
                const QString path = savePicture(book, pic, i * 5 + n);
                addPage(book, 1, path, QString::fromLatin1(pic.caption), today.addDays(-180 + i * 3 + n), n == 1, 3);
            }
        }

        const int brochures = bookKey++;
        fill.add(QStringLiteral("Books"), {{"Entry_Code", brochures}, {"Description", "Practice Brochures"},
                                           {"PatientCode", 0}, {"FontName", "Liberation Sans"}, {"FontSize", 20}});
        {
            const QString txt = host.NextFileName(1, brochures, pageKey, QStringLiteral("txt"));
            QFile file(txt);
            if (!file.open(QIODevice::WriteOnly))
                throw HostError(75, QStringLiteral("Cannot write %1").arg(txt));
            file.write("Opening hours\n\nMonday to Friday 8:00 - 18:00\nSaturday 9:00 - 13:00\n\n"
                       "Emergencies: call 555-0100.\n");
            file.close();
            addPage(brochures, 3, txt, QStringLiteral("Opening hours"), today.addDays(-30), false, 1);
            if (canDrawText()) {
                const QString pdf = host.NextFileName(1, brochures, pageKey, QStringLiteral("pdf"));
                QPdfWriter writer(pdf);
                writer.setTitle(QStringLiteral("After Your Extraction"));
                writer.setResolution(72);
                QPainter p(&writer);
                QFont heading(QStringLiteral("Liberation Sans"), 20, QFont::Bold);
                p.setFont(heading);
                p.drawText(QPointF(60, 80), QStringLiteral("After Your Extraction"));
                p.setFont(QFont(QStringLiteral("Liberation Serif"), 12));
                const char *lines[] = {"Bite on the gauze for 30 minutes.", "Do not rinse for 24 hours.",
                                       "Avoid hot drinks and smoking today.", "Take pain relief as advised.",
                                       "Call us if bleeding does not stop."};
                for (int l = 0; l < 5; ++l)
                    p.drawText(QPointF(60, 130 + l * 24), QString::fromLatin1(lines[l]));
                p.end();
                addPage(brochures, 5, pdf, QStringLiteral("After your extraction"), today.addDays(-20), false, 1);
            }
            const QString path = savePicture(brochures, {{1600, 1200}, "png", "Our practice"}, 41);
            addPage(brochures, 1, path, QStringLiteral("Our practice"), today.addDays(-60), true, 1);
        }

        const int beforeAfter = bookKey++;
        fill.add(QStringLiteral("Books"), {{"Entry_Code", beforeAfter}, {"Description", "Before and After"},
                                           {"PatientCode", 0}, {"FontName", "Liberation Sans"}, {"FontSize", 20}});
        static const Picture showcase[] = {
            {{1600, 1200}, "jpg", "Before whitening"}, {{1600, 1200}, "jpg", "After whitening"},
            {{4032, 3024}, "jpg", "Before veneers"}, {{4032, 3024}, "jpg", "After veneers"},
            {{1600, 1200}, "tif", "Orthodontics"},
        };
        for (int n = 0; n < int(std::size(showcase)); ++n) {
            const QString path = savePicture(beforeAfter, showcase[n], 60 + n);
            addPage(beforeAfter, 1, path, QString::fromLatin1(showcase[n].caption), today.addDays(-90 + n), n == 0, 3);
        }

        // The chart of the first patient's first visit, for the visit report.
        {
            const QString chart = DemoPractice::chartFile(host.GetLibraryFilesFolder(), 1);
            QDir().mkpath(QFileInfo(chart).absolutePath());
            if (!dentalChart({{36, QColor(0xE0, 0x40, 0x40)}, {37, QColor(0xE0, 0x40, 0x40)},
                              {46, QColor(0x40, 0x70, 0xD0)}}).save(chart))
                throw HostError(75, QStringLiteral("Cannot write the demo chart %1").arg(chart));
        }
        // Illustration templates and the first patient's treatment plan, drawn here.
        const QString libraryFolder = host.GetLibraryFilesFolder();
        const QList<DemoIllustration> templates =
            writeIllustrationTemplates(QDir(libraryFolder).filePath(QStringLiteral("Illustrations")));
        for (int i = 0; i < templates.size(); ++i)
            fill.add(QStringLiteral("IllustrationTemplates"), {{"Entry_Code", i + 1},
                                                               {"Description", templates.at(i).description},
                                                               {"IllustrationFile", templates.at(i).path}});
        writeTreatmentPlanIllustration(patientIllustrationPath(libraryFolder, 1));

        fill.close();
        db->endWrite();
        makeTutorialClips(host.GetLibraryFilesFolder() + QStringLiteral("/Tutorials"));
    } catch (const HostError &e) {
        return Outcome::failure(QStringLiteral("Cannot create the demo practice: %1").arg(e.description()));
    }
    return Outcome();
}

void DemoPractice::makeTutorialClips(const QString &folder)
{
    // Short test-pattern clips stand in for the tutorials; without GStreamer's
    // command line the list stays and playing says the file is missing.
    if (!QDir().mkpath(folder))
        return;
    const struct { const char *file, *pattern; } clips[] = {{"brushing.avi", "ball"},
                                                            {"flossing.avi", "smpte"}};
    for (const auto &clip : clips) {
        const QString path = folder + u'/' + QLatin1String(clip.file);
        if (QFileInfo::exists(path))
            continue;
        QProcess gst;
        gst.start(QStringLiteral("gst-launch-1.0"),
                  {QStringLiteral("-q"), QStringLiteral("videotestsrc"),
                   QStringLiteral("pattern=") + QLatin1String(clip.pattern),
                   QStringLiteral("num-buffers=75"), QStringLiteral("!"),
                   QStringLiteral("video/x-raw,width=320,height=240,framerate=25/1"),
                   QStringLiteral("!"), QStringLiteral("jpegenc"), QStringLiteral("!"),
                   QStringLiteral("avimux"), QStringLiteral("!"), QStringLiteral("filesink"),
                   QStringLiteral("location=") + path});
        if (!gst.waitForFinished(30000) || gst.exitCode() != 0)
            QFile::remove(path);
    }
    // Remembered only when the user has no tutorial folder of their own.
    const QString remembered = tutorialFolder();
    if (remembered.isEmpty() || !QFileInfo(remembered).isDir())
        setTutorialFolder(folder);
}

QString DemoPractice::chartFile(const QString &libraryFolder, qint32 visitCode)
{
    return QDir(libraryFolder).filePath(QStringLiteral("Charts/Visit%1.png").arg(visitCode));
}

} // namespace tovradocs::Internal

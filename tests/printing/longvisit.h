#pragma once

#include <tovradocs/datalink.h>

#include <QString>
#include <QStringList>

// A visit whose clinical records fill more than a page, added to the demo
// practice: the third patient's first visit. Shared by the report tests and
// the screenshot program.
namespace longvisit {

constexpr qint32 kPatient = 3;
constexpr qint32 kVisit = 5;

struct Row
{
    QString text;
    int toothFrom = 0;
    int toothTo = 0; // 0 and 0: the whole mouth
};

inline const QList<Row> &complaints()
{
    static const QList<Row> rows {
        {"Sharp pain when chewing on the left side, worse with cold drinks and at night, spreading towards the ear", 36, 37},
        {"Sensitivity to sweets", 24, 25},
        {"Food packing between teeth", 46, 47},
        {"Swelling of the gum", 31, 32},
        {"Loose filling", 15, 15},
        {"Bad taste in the mouth"},
        {"Clicking jaw on opening"},
        {"Chipped front tooth", 11, 11},
        {"Grinding at night"},
        {"Dry mouth in the mornings"},
        {"Pain behind the last molar", 38, 38},
        {"Dark spot on a molar", 26, 26},
        {"Gums bleed when flossing"},
        {"Denture rubbing the palate"},
    };
    return rows;
}

inline const QList<Row> &findings()
{
    static const QList<Row> rows {
        {"Deep distal caries reaching the pulp horn", 36, 36},
        {"Recurrent caries below an old amalgam", 15, 15},
        {"Marginal gingivitis with heavy plaque"},
        {"Supragingival calculus on the lingual surfaces", 31, 43},
        {"Fractured mesial cusp", 46, 46},
        {"Periapical radiolucency", 37, 37},
        {"Attrition facets on canines", 13, 23},
        {"Partially erupted wisdom tooth", 38, 38},
        {"Enamel crack line", 11, 11},
        {"Open contact with food trap", 46, 47},
        {"Pocket depth of five millimetres", 26, 27},
        {"Hairline fracture of the denture base"},
    };
    return rows;
}

inline const QList<Row> &treatmentsAdvised()
{
    static const QList<Row> rows {
        {"Root canal treatment in three canals", 36, 36},
        {"Full coverage crown after the root filling", 36, 36},
        {"Replace the amalgam with composite", 15, 15},
        {"Scaling and polishing of both arches"},
        {"Onlay to restore the fractured cusp", 46, 46},
        {"Review of the periapical area in six months", 37, 37},
        {"Night guard for grinding"},
        {"Extraction of the wisdom tooth", 38, 38},
        {"Bonding of the chipped edge", 11, 11},
        {"Fluoride varnish", 24, 25},
        {"Denture reline"},
    };
    return rows;
}

inline const QList<Row> &workDone()
{
    static const QList<Row> rows {
        {"Local anaesthesia given", 36, 36},
        {"Rubber dam placed", 36, 36},
        {"Access cavity and canal location", 36, 36},
        {"Working length radiograph taken", 36, 36},
        {"Canals cleaned and shaped", 36, 36},
        {"Canals irrigated with sodium hypochlorite", 36, 36},
        {"Calcium hydroxide dressing", 36, 36},
        {"Temporary dressing placed", 36, 36},
        {"Occlusion checked", 36, 36},
        {"Scaling of the lower anterior teeth", 31, 43},
        {"Polishing"},
        {"Bonding of the chipped edge", 11, 11},
        {"Impression for the night guard"},
        {"Oral hygiene instructions given"},
        {"Post-operative instructions given"},
        {"Varnish painted on sensitive teeth", 24, 25},
    };
    return rows;
}

struct Prescription
{
    QString medicine;
    QString dosage;
};

inline const QList<Prescription> &prescriptions()
{
    static const QList<Prescription> rows {
        {"Amoxicillin", "1 capsule every 8 hours for 5 days"},
        {"Ibuprofen", "1 tablet three times a day after food"},
        {"Chlorhexidine", "Rinse twice a day"},
        {"Paracetamol", "1 tablet up to four times a day"},
        {"Metronidazole", "1 tablet three times a day"},
        {"Fluoride toothpaste", "Brush twice a day, do not rinse"},
        {"Benzocaine gel", "Apply to the sore area as needed"},
        {"Vitamin B complex", "1 capsule daily"},
    };
    return rows;
}

inline QString quoted(const QString &text) { return QLatin1Char('\'') + QString(text).replace(u'\'', QStringLiteral("''")) + QLatin1Char('\''); }

// Adds the records; lookup rows get their own keys from 100 on.
inline void add(tovradocs::DataLink &host)
{
    using tovradocs::DataLink;
    const auto rows = [&](const char *lookup, const char *table, const char *codeField, const QList<Row> &list,
                          int keyBase, const QString &extraFields = QString(), const QString &extraValues = QString()) {
        for (int i = 0; i < list.size(); ++i) {
            const int key = keyBase + i;
            const Row &row = list.at(i);
            host.ExecuteStmt(false, QStringLiteral("Insert into %1 (Entry_Code, Description, AppliesTo, ChartWorkAvailable, "
                                                   "IconPos, MtrlRequired, Hide) values (%2, %3, %4, false, 0, false, false)")
                                        .arg(QLatin1String(lookup)).arg(key).arg(quoted(row.text))
                                        .arg(row.toothFrom ? 1 : 3));
            host.ExecuteStmt(false, QStringLiteral("Insert into %1 (Entry_Code, PatientCode, VisitCode, %2, ToothFrom, ToothTo%3) "
                                                   "values (%4, %5, %6, %4, %7, %8%9)")
                                        .arg(QLatin1String(table), QLatin1String(codeField), extraFields)
                                        .arg(key).arg(kPatient).arg(kVisit).arg(row.toothFrom).arg(row.toothTo)
                                        .arg(extraValues));
        }
    };
    rows("Complaints", "PatientsComplaints", "ComplaintCode", complaints(), 100);
    rows("PossibleExaminations", "PatientsExaminations", "ExaminationCode", findings(), 100);
    host.ExecuteStmt(false, QStringLiteral("Insert into PatientsTreatmentPlans (Entry_Code, PatientCode, Accepted) "
                                           "values (100, %1, true)").arg(kPatient));
    rows("PossibleTreatments", "PatientsTreatments", "TreatmentCode", treatmentsAdvised(), 100,
         QStringLiteral(", TreatmentPlanCode"), QStringLiteral(", 100"));
    rows("WorkSteps", "PatientsWorkDone", "WorkDoneCode", workDone(), 100);
    for (int i = 0; i < prescriptions().size(); ++i) {
        const int key = 100 + i;
        host.ExecuteStmt(false, QStringLiteral("Insert into MedicineBrands (Entry_Code, Description, Dosageform, Potency) "
                                               "values (%1, %2, 'Tablet', '')").arg(key).arg(quoted(prescriptions().at(i).medicine)));
        host.ExecuteStmt(false, QStringLiteral("Insert into PatientsPrescriptions (Entry_Code, PatientCode, VisitCode, "
                                               "BrandVariantCode, Dosage, Days) values (%1, %2, %3, %1, %4, 5)")
                                    .arg(key).arg(kPatient).arg(kVisit).arg(quoted(prescriptions().at(i).dosage)));
    }
}

} // namespace longvisit

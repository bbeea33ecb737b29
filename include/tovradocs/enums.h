#pragma once

namespace tovradocs {

// Values are part of the published interface and stored in the database.
enum LibraryContentTypes {
    vbContentImage = 1,
    vbContentVideo = 2,
    vbContentDocument = 3,
    vbContentAudio = 4,
};

enum SlideShowSize {
    sssFull = 0,
    sssLarge = 1,
    sssMedium = 2,
    sssSmall = 3,
    sssTiny = 4,
    sssUserSpecified = 5,
};

enum PtImageReports {
    pirNone = 0,
    pirComplaints = 1,
    pirExamination = 2,
    pirRxAdvised = 4,
    pirWorkDone = 8,
    pirPrescriptions = 16,
    pirTreatmentDone = 24,
    pirAcceptedRxAdvised = 64,
    pirCheckup = 66,
    pirImages = 128,
    pirDrOndalReport = 256,
};

enum DocTypes {
    dtVoiceComment = 0,
    dtDocuments = 1,
    dtCharacters = 2,
    dtTutorialVideos = 3,
    dtHelpContent = 4,
    dtXtalReports = 5,
};

} // namespace tovradocs

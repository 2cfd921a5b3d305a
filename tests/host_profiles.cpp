#include "tests/host_profiles.h"

const std::vector<HostProfileInfo>& HostProfiles() {
    static const std::vector<HostProfileInfo> profiles = {
        {HostProfile::Photoshop, "Photoshop", true, true},
        {HostProfile::PspiHost, "pspiHost", false, false},
        {HostProfile::Affinity, "Affinity", true, true},
        {HostProfile::PhotoFiltre, "PhotoFiltre", true, true},
        {HostProfile::GimpPspi, "GIMP pspi", false, true},
        {HostProfile::PaintNet, "Paint.NET", true, true},
        {HostProfile::SilentHost, "silent host", true, true},
    };
    return profiles;
}

const HostProfileInfo& ProfileInfo(HostProfile profile) {
    for (const HostProfileInfo& info : HostProfiles())
        if (info.profile == profile) return info;
    return HostProfiles().front();
}

HostSettings ProfileSettings(HostProfile profile) {
    HostSettings s;
    switch (profile) {
        case HostProfile::Photoshop: break;
        case HostProfile::PspiHost:
            s.hostSignature = FourCC("PSPI");
            s.globalSizeForForeignHandles = true;
            s.disposeFreesForeignHandles = true;
            s.nullParametersEachRun = true;
            s.nullDescriptorProcTables = true;
            s.ownerWindow = 0;
            break;
        case HostProfile::Affinity:
            s.hostSignature = FourCC("AffP");
            s.zeroHandleSuiteVersion = true;
            s.ignoreResultCodes = true;
            break;
        case HostProfile::PhotoFiltre:
            s.hostSignature = FourCC("PhFl");
            s.offerHandleProcs = false;
            break;
        case HostProfile::GimpPspi:
            s.hostSignature = FourCC("GIMP");
            s.zeroSizesAtParameters = true;
            s.nullParametersEachRun = true;
            s.offerDescriptors = false;
            s.setColumnBytes = false;
            s.ownerWindow = 0;
            break;
        case HostProfile::PaintNet:
            s.hostSignature = FourCC("NDP.");
            s.selectorsOnWorkerThread = true;
            s.rebuildParametersBetweenRuns = true;
            s.ownerWindow = 0x10040;  // a window of the UI thread, not the selectors' thread
            break;
        case HostProfile::SilentHost:
            s.hostSignature = FourCC("PffA");
            s.ignoreResultCodes = true;
            break;
    }
    return s;
}

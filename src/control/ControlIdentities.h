#pragma once
// The identities the control is known by to hosts and to the registry: class
// and interface ids, ProgIDs, the type library and the strings shown for them.

#include <cstdint>

namespace corvanta::control {

inline constexpr char kControlClassName[] = "CCorvantaArchiveCtrl";
inline constexpr char kControlClsid[] = "{6513270E-269E-0D37-F2A7-4DE452E6B438}";
inline constexpr char kControlProgId[] = "CORVANTAARCHIVE.CorvantaArchiveCtrl.1";

inline constexpr char kPropPageClassName[] = "CCorvantaArchivePropPage";
inline constexpr char kPropPageClsid[] = "{D23F0824-128B-2F33-0C5C-7FD0A6A3A450}";
inline constexpr char kPropPageProgId[] = "CORVANTAARCHIVE.CorvantaArchivePropPage.1";

inline constexpr char kTypeLibId[] = "{9531985D-5D9D-C9F8-1818-E811892F902B}";
inline constexpr char kTypeLibVersion[] = "1.0";
inline constexpr char kTypeLibName[] = "CORVANTAARCHIVELib";
inline constexpr char kTypeLibHelpFile[] = "CorvantaArchive.hlp";
inline constexpr char kTypeLibDescription[] = "CorvantaArchive ActiveX Control module.";

inline constexpr char kDispatchName[] = "_DCorvantaArchive";
inline constexpr char kDispatchIid[] = "{36F675CC-81E7-4EF5-E8E2-5D940ED90475}";
inline constexpr char kDispatchDescription[] = "Dispatch interface for CorvantaArchive Control";
inline constexpr char kEventsName[] = "_DCorvantaArchiveEvents";
inline constexpr char kEventsIid[] = "{6B0D549B-6F03-675A-1600-A35A099950D8}";
inline constexpr char kEventsDescription[] = "Event interface for CorvantaArchive Control";

inline constexpr char kCoclassName[] = "CorvantaArchive";
inline constexpr char kCoclassDescription[] = "CorvantaArchive Control";

// Resource strings 1, 2 and 200.
inline constexpr char kControlTypeName[] = "CorvantaArchive Control";
inline constexpr char kPropPageTypeName[] = "CorvantaArchive Property Page";
inline constexpr char kPropPageCaption[] = "General";

// Activate when visible, set client site first, inside-out, can't link
// inside, recompose on resize.
inline constexpr uint32_t kMiscStatus = 0x20191;
// Insertable and apartment threading.
inline constexpr uint32_t kRegistrationFlags = 3;
inline constexpr int kToolboxBitmapId = 1;

inline constexpr char kCatSafeForScripting[] = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr char kCatSafeForScriptingName[] = "Controls that are safely scriptable";
inline constexpr char kCatSafeForInit[] = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr char kCatSafeForInitName[] = "Controls safely initializable from persistent data";
inline constexpr uint32_t kCategoryLocale = 1033;
inline constexpr size_t kCategoryDescriptionMax = 127;

// Registration results.
inline constexpr int32_t kRegOk = 0;
inline constexpr int32_t kRegTypeLibFailed = int32_t(0x80040200);
inline constexpr int32_t kRegClassFailed = int32_t(0x80040201);

// The control's persisted properties.
inline constexpr char kPropServerUrl[] = "ServerURL";
inline constexpr char kPropServerPort[] = "ServerPort";
inline constexpr int32_t kDefaultServerPort = 80;
inline constexpr int kPropertyVersionMajor = 1;
inline constexpr int kPropertyVersionMinor = 0;

}  // namespace corvanta::control

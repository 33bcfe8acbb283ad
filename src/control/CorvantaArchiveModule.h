/* The control module's public entry points, with a C ABI so that a host can
 * load libcorvanta-archive.so with dlopen and find them with dlsym.
 *
 * A host that uses Qt Widgets creates its QApplication first, then calls
 * CorvantaArchiveCreateControl with the widget the control is to fill. The
 * result is a QWidget (a QObject) with two properties a host sets with
 * QObject::setProperty:
 *   "ServerURL"   text, default empty: the recorder's address, e.g. "http://10.0.0.5"
 *   "ServerPort"  int, default 80: the port of the recorder's HTTP server
 * and these methods, reached with QMetaObject::invokeMethod:
 *   QByteArray SaveProperties()               the property bag to keep between runs
 *   bool LoadProperties(const QByteArray&)    false: another version or damaged, defaults kept
 *   void AboutBox()                           the about box
 *   void ShortcutsBox()                       the keys and mouse gestures of the panes
 *   int InstanceNumber()                      what corvanta-eventlog needs to attach
 * The control makes its window when first shown and fills it. Destroy it
 * with CorvantaArchiveDestroyControl (or by deleting its parent) on the
 * thread that made it.
 */
#ifndef CORVANTA_ARCHIVE_MODULE_H
#define CORVANTA_ARCHIVE_MODULE_H

#include <stdint.h>

#if defined(__GNUC__)
#define CORVANTA_ARCHIVE_API __attribute__((visibility("default")))
#else
#define CORVANTA_ARCHIVE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the type library, the control and property page classes and the
 * component categories into the current user's registry file. 0 on
 * success, 0x80040200 when the type library, 0x80040201 when a class could
 * not be written. */
CORVANTA_ARCHIVE_API int32_t DllRegisterServer(void);
/* Removes the type library and the classes; the categories stay. */
CORVANTA_ARCHIVE_API int32_t DllUnregisterServer(void);

/* A new control as a child of `parentWidget` (a QWidget*, or null); the
 * control as a QWidget*. Null when no QApplication exists. */
CORVANTA_ARCHIVE_API void* CorvantaArchiveCreateControl(void* parentWidget);
CORVANTA_ARCHIVE_API void CorvantaArchiveDestroyControl(void* control);

/* The module's version, e.g. "0.1.0". */
CORVANTA_ARCHIVE_API const char* CorvantaArchiveVersion(void);

/* The ProgID a host looks the module up by in the registry. */
#define CORVANTA_ARCHIVE_PROGID "CORVANTAARCHIVE.CorvantaArchiveCtrl.1"
#define CORVANTA_ARCHIVE_CREATE_SYMBOL "CorvantaArchiveCreateControl"

#ifdef __cplusplus
}
#endif

#endif

// The entry points the host finds by name. Only these and _frm_main leave the library
// (see exports.map).

#include <QMdiArea>
#include <QMdiSubWindow>
#include <cstdint>

#include "plugin/host.h"
#include "plugin/plugin.h"
#include "ui/current_form.h"
#include "ui/main.h"

#define BT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The "application" a form belongs to: the host's MDI area, or (for the plug-in's own
// application) none. Both stand for the running executable.
struct PluginApplication {
    QMdiArea* mdiArea = nullptr;
};

// The plug-in's own application: no MDI area, forms are top-level windows.
PluginApplication OwnApplication;
// The host's application once adopted.
PluginApplication HostApplication;
// The plug-in's own application while the host's one is in use; null until the first
// show or close of the form.
PluginApplication* SavedApplication = nullptr;
// The application that new forms belong to.
PluginApplication* Application = &OwnApplication;

// Adopts the host's MDI area as the application, once per library life.
void AdoptHostApplication(QMdiArea* hostArea) {
    if (SavedApplication != nullptr) return;
    SavedApplication = Application;
    HostApplication.mdiArea = hostArea;
    Application = &HostApplication;
}

__attribute__((constructor)) void LibraryAttach() {
    plugin::Attach(reinterpret_cast<void*>(&LibraryAttach));
}

__attribute__((destructor)) void LibraryDetach() {
    if (SavedApplication != nullptr) Application = SavedApplication;
}

} // namespace

BT_EXPORT void _SetFuncInterface(const void* table, int32_t sizeInBytes) {
    SetFuncInterface(table, sizeInBytes);
}

BT_EXPORT void _SetShowLineFunc(ShowLineFunc callback) { ShowLineCallback = callback; }

BT_EXPORT void _SetGetInterface(void* anything) { GetInterface = anything; }

BT_EXPORT void _SetComHandle(int32_t handle) { ComHandle = handle; }

BT_EXPORT void _SetBasebandType(int32_t) {}

BT_EXPORT void _ShowMDIChildForm(void* application) {
    AdoptHostApplication(static_cast<QMdiArea*>(application));
    auto* form = new Tfrm_main();
    frm_main = form;
    form->setWindowTitle(QString::fromStdString(GetAboutText()));
    form->StartUp();
    if (QMdiArea* area = Application->mdiArea) {
        QMdiSubWindow* window = area->addSubWindow(form);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->showMaximized();
    } else {
        form->showMaximized();
    }
}

BT_EXPORT void _CloseMDIChildForm(void* application) {
    AdoptHostApplication(static_cast<QMdiArea*>(application));
    Tfrm_main* form = frm_main;
    if (form == nullptr) return;
    form->close();
    // The MDI frame around the form goes with it.
    if (auto* window = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        delete window;
    else
        delete form;
    frm_main = nullptr;
}

BT_EXPORT int32_t _CanRun(void) { return 1; }

BT_EXPORT int32_t _WantCOMPortClosed(void) { return 0; }

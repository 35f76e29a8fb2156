#include "ui/current_form.h"

// The data symbol the host reads; C linkage and default visibility so that the export
// list can name it.
extern "C" {
__attribute__((visibility("default"))) Tfrm_main* _frm_main = nullptr;
}
Tfrm_main*& frm_main = _frm_main;

#pragma once
// The one form the plug-in shows at a time.

class Tfrm_main;

// The current form, or null; the host reads the same pointer as the exported _frm_main.
extern "C" Tfrm_main* _frm_main;
extern Tfrm_main*& frm_main;

// Version of the library, readable with `strings` as the Windows version block was.
extern "C" __attribute__((visibility("default"), used)) const char brevioedit_version[] =
    "BrevioEditorDLG 2.1.0.10";

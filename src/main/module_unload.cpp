// What the Windows module gives back when a host unloads it while the process
// goes on (a plug-in manager, an update). The C++ runtime is linked into the
// DLL, and with it the runtime's emergency pool for exceptions thrown when
// memory runs out: some 70 KiB taken when the DLL is loaded and never freed,
// so every load and unload would leave it behind. __gnu_cxx::__freeres() is
// the runtime's own way to let it go. At process exit nothing is freed: the
// process takes everything with it, and other threads may still be running.
#include <windows.h>

namespace __gnu_cxx {
void __freeres() noexcept;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    const bool unloadedByFreeLibrary = reserved == nullptr;
    if (reason == DLL_PROCESS_DETACH && unloadedByFreeLibrary)
        __gnu_cxx::__freeres();
    return TRUE;
}

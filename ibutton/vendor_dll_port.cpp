// The vendor's 1-Wire driver library on Windows, bound at run time so that a
// machine without the driver gets a readable message instead of the system
// loader refusing to start the program.

#include "ibutton/vendor_dll_port.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace vintok::ibutton {
namespace {

// The driver's functions as the library exports them. Integers are those of
// the driver: 16-bit signed results, port numbers and port types, 32-bit
// signed session handles (long is 32 bits on both Windows widths). On 32-bit
// x86 the library uses the stdcall convention; WINAPI says so there and is
// the one x64 convention on 64-bit.
using ReadDefaultPortFn = short(WINAPI*)(short* portNum, short* portType);
using GetVersionFn = short(WINAPI*)(char* buffer);
using ExtendedStartSessionFn = long(WINAPI*)(short portNum, short portType, void* reserved);
using SetupFn = short(WINAPI*)(long handle);
using RomFn = short(WINAPI*)(long handle, void* stateBuffer, short* rom);
using TouchResetFn = short(WINAPI*)(long handle);
using TouchByteFn = short(WINAPI*)(long handle, short byte);
using EndSessionFn = short(WINAPI*)(long handle);

static_assert(sizeof(short) == 2 && sizeof(long) == 4,
              "the driver's integers are 16 and 32 bits wide");
static_assert(std::is_same_v<short, int16_t>, "the driver interface passes int16_t as short");

constexpr const char* kInstallDriver = " The 1-Wire driver must be installed to read fobs.";

struct FreeLibraryDeleter {
  void operator()(HMODULE library) const { FreeLibrary(library); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeLibraryDeleter>;

LibraryHandle LoadDriverLibrary() {
  // A library file that exists but cannot be mapped (the other width, a
  // damaged copy) would otherwise make the system show a box of its own
  // before ours; the failure is reported by the caller instead.
  DWORD previousMode = 0;
  const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != 0;
  HMODULE library = LoadLibraryA(kVendorLibraryName);
  if (quiet) SetThreadErrorMode(previousMode, nullptr);
  if (library == nullptr)
    throw std::runtime_error(std::string(kVendorLibraryName) + " could not be loaded." +
                             kInstallDriver);
  return LibraryHandle(library);
}

template <typename Fn>
Fn Bind(HMODULE library, const char* name) {
  const FARPROC address = GetProcAddress(library, name);
  if (address == nullptr)
    throw std::runtime_error(std::string(kVendorLibraryName) + " has no function " + name + "." +
                             kInstallDriver);
  // GetProcAddress hands out every export under one generic type; going
  // through void(*)() states that the real type is known from the driver.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

class VendorDllPort final : public OneWireDriver {
 public:
  explicit VendorDllPort(LibraryHandle library)
      : library_(std::move(library)),
        readDefaultPort_(Bind<ReadDefaultPortFn>(library_.get(), "TMReadDefaultPort")),
        getVersion_(Bind<GetVersionFn>(library_.get(), "Get_Version")),
        extendedStartSession_(
            Bind<ExtendedStartSessionFn>(library_.get(), "TMExtendedStartSession")),
        setup_(Bind<SetupFn>(library_.get(), "TMSetup")),
        rom_(Bind<RomFn>(library_.get(), "TMRom")),
        touchReset_(Bind<TouchResetFn>(library_.get(), "TMTouchReset")),
        touchByte_(Bind<TouchByteFn>(library_.get(), "TMTouchByte")),
        endSession_(Bind<EndSessionFn>(library_.get(), "TMEndSession")) {}

  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override {
    return readDefaultPort_(portNum, portType);
  }
  int16_t Get_Version(char* buffer) override { return getVersion_(buffer); }
  int32_t TMExtendedStartSession(int16_t portNum, int16_t portType, void* reserved) override {
    return static_cast<int32_t>(extendedStartSession_(portNum, portType, reserved));
  }
  int16_t TMSetup(int32_t handle) override { return setup_(handle); }
  int16_t TMRom(int32_t handle, void* stateBuffer, int16_t* rom) override {
    return rom_(handle, stateBuffer, rom);
  }
  int16_t TMTouchReset(int32_t handle) override { return touchReset_(handle); }
  int16_t TMTouchByte(int32_t handle, int16_t byte) override { return touchByte_(handle, byte); }
  int16_t TMEndSession(int32_t handle) override { return endSession_(handle); }

 private:
  // Declared first: the functions below point into the library, which must
  // stay loaded as long as they can be called (and is freed when binding
  // one of them fails).
  LibraryHandle library_;
  ReadDefaultPortFn readDefaultPort_;
  GetVersionFn getVersion_;
  ExtendedStartSessionFn extendedStartSession_;
  SetupFn setup_;
  RomFn rom_;
  TouchResetFn touchReset_;
  TouchByteFn touchByte_;
  EndSessionFn endSession_;
};

}  // namespace

std::unique_ptr<OneWireDriver> LoadVendorDriver() {
  return std::make_unique<VendorDllPort>(LoadDriverLibrary());
}

}  // namespace vintok::ibutton

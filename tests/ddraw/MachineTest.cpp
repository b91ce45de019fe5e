// The simulated machine: driver enumeration and choice, capabilities, the fault plan,
// object counts.
#include "tests/ddraw/PlatformTestSupport.h"

#include <stdexcept>
#include <string>

namespace platform_test {
namespace {

constexpr GUID kAddOnGuid = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

struct SeenDriver {
    bool nullGuid;
    std::string description;
    std::string name;
};

BOOL Collect(GUID* guid, LPSTR description, LPSTR name, LPVOID context) {
    static_cast<std::vector<SeenDriver>*>(context)->push_back({guid == nullptr, description, name});
    return DDENUMRET_OK;
}

BOOL CancelAtOnce(GUID*, LPSTR, LPSTR, LPVOID context) {
    ++*static_cast<int*>(context);
    return DDENUMRET_CANCEL;
}

// The program's driver choice: the first driver whose hardware caps have DDCAPS_3D.
struct Choice {
    IDirectDraw* chosen = nullptr;
    bool guidWasNull = false;
    GUID guid{};
};

BOOL ChooseFirst3D(GUID* guid, LPSTR, LPSTR, LPVOID context) {
    auto* choice = static_cast<Choice*>(context);
    IDirectDraw* dd = nullptr;
    if (FAILED(DirectDrawCreate(guid, &dd, nullptr))) {
        return DDENUMRET_OK;
    }
    DDCAPS hardware{};
    DDCAPS emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(DDCAPS);
    if (SUCCEEDED(dd->GetCaps(&hardware, &emulation)) && (hardware.dwCaps & DDCAPS_3D) != 0) {
        choice->chosen = dd;
        choice->guidWasNull = guid == nullptr;
        if (guid != nullptr) {
            choice->guid = *guid;
        }
        return DDENUMRET_CANCEL;
    }
    dd->Release();
    return DDENUMRET_OK;
}

Machine PrimaryWithoutHardwarePlusAddOnBoard() {
    Machine machine = Machine::Default();
    machine.drivers[0].has3D = false;
    DisplayDriver addOn;
    addOn.hasGuid = true;
    addOn.guid = kAddOnGuid;
    addOn.description = "Add-on 3D board";
    addOn.name = "board";
    addOn.has3D = true;
    machine.drivers.push_back(addOn);
    return machine;
}

using DriverEnumeration = PlatformTest;

TEST_F(DriverEnumeration, DefaultMachineListsOnlyThePrimaryDisplayDriverWithNullGuid) {
    std::vector<SeenDriver> seen;
    ASSERT_EQ(DirectDrawEnumerateA(Collect, &seen), DD_OK);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].nullGuid);
    EXPECT_EQ(seen[0].description, "Primary Display Driver");
    EXPECT_EQ(seen[0].name, "display");
}

TEST_F(DriverEnumeration, AddOnBoardIsChosenWhenThePrimaryDriverHasNo3D) {
    UseMachine(PrimaryWithoutHardwarePlusAddOnBoard());
    std::vector<SeenDriver> seen;
    ASSERT_EQ(DirectDrawEnumerateA(Collect, &seen), DD_OK);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].nullGuid);
    EXPECT_FALSE(seen[1].nullGuid);
    EXPECT_EQ(seen[1].description, "Add-on 3D board");

    Choice choice;
    ASSERT_EQ(DirectDrawEnumerateA(ChooseFirst3D, &choice), DD_OK);
    ASSERT_NE(choice.chosen, nullptr);
    EXPECT_FALSE(choice.guidWasNull);
    EXPECT_TRUE(choice.guid == kAddOnGuid);
    choice.chosen->Release();
}

TEST_F(DriverEnumeration, PrimaryDriverWith3DIsChosenBeforeAnAddOnBoard) {
    Machine machine = PrimaryWithoutHardwarePlusAddOnBoard();
    machine.drivers[0].has3D = true;
    UseMachine(machine);
    Choice choice;
    ASSERT_EQ(DirectDrawEnumerateA(ChooseFirst3D, &choice), DD_OK);
    ASSERT_NE(choice.chosen, nullptr);
    EXPECT_TRUE(choice.guidWasNull);
    choice.chosen->Release();
}

TEST_F(DriverEnumeration, CancellingStopsTheEnumeration) {
    UseMachine(PrimaryWithoutHardwarePlusAddOnBoard());
    int calls = 0;
    ASSERT_EQ(DirectDrawEnumerateA(CancelAtOnce, &calls), DD_OK);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(DirectDrawEnumerateA(nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DriverEnumeration, UnknownDriverGuidIsRefused) {
    GUID unknown = kAddOnGuid;
    IDirectDraw* dd = reinterpret_cast<IDirectDraw*>(&unknown);  // must be overwritten
    EXPECT_EQ(DirectDrawCreate(&unknown, &dd, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd, nullptr);
}

using DriverCaps = PlatformTest;

TEST_F(DriverCaps, ThreeDHardwareShowsOnlyInTheHardwareRecord) {
    IDirectDraw2* dd = OpenDirectDraw();
    ASSERT_NE(dd, nullptr);
    DDCAPS hardware{};
    DDCAPS emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(dd->GetCaps(&hardware, &emulation), DD_OK);
    EXPECT_NE(hardware.dwCaps & DDCAPS_3D, 0u);
    EXPECT_EQ(emulation.dwCaps & DDCAPS_3D, 0u);
    EXPECT_EQ(hardware.dwVidMemTotal, CurrentMachine().videoMemoryBytes);
    dd->Release();
}

TEST_F(DriverCaps, DriverWithout3DReportsNoneAndWrongRecordSizeIsRefused) {
    Machine machine = Machine::Default();
    machine.drivers[0].has3D = false;
    UseMachine(machine);
    IDirectDraw2* dd = OpenDirectDraw();
    ASSERT_NE(dd, nullptr);
    DDCAPS hardware{};
    DDCAPS emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(dd->GetCaps(&hardware, &emulation), DD_OK);
    EXPECT_EQ(hardware.dwCaps & DDCAPS_3D, 0u);
    hardware.dwSize = 8;
    EXPECT_EQ(dd->GetCaps(&hardware, nullptr), DDERR_INVALIDPARAMS);
    dd->Release();
}

TEST_F(DriverCaps, CooperativeLevelMustBeWindowedOrExclusiveFullscreen) {
    IDirectDraw2* dd = OpenDirectDraw();
    ASSERT_NE(dd, nullptr);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    dd->Release();
}

TEST_F(DriverCaps, DisplayModeAndFreeVideoMemoryFollowTheMachine) {
    Machine machine = MachineWithDisplay(DisplayFormat::R8G8B8);
    machine.displayWidth = 800;
    machine.displayHeight = 600;
    machine.videoMemoryBytes = 1u << 20;
    UseMachine(machine);
    IDirectDraw2* dd = OpenDirectDraw();
    DDSURFACEDESC mode{};
    mode.dwSize = sizeof(mode);
    ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 800u);
    EXPECT_EQ(mode.dwHeight, 600u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 24u);
    EXPECT_EQ(mode.lPitch, 2400);
    IDirectDrawSurface* surface = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 100, 10);
    DDSCAPS caps{DDSCAPS_VIDEOMEMORY};
    DWORD total = 0;
    DWORD free = 0;
    ASSERT_EQ(dd->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(total, 1u << 20);
    EXPECT_EQ(free, (1u << 20) - 300u * 10u);
    surface->Release();
    ASSERT_EQ(dd->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(free, 1u << 20);
    dd->Release();
}

using FaultPlan = PlatformTest;

TEST_F(FaultPlan, EachPlannedFaultReturnsItsCodeOnTheNthCallOnly) {
    Machine machine = Machine::Default();
    machine.faults = {{"CreateSurface", 2, DDERR_OUTOFMEMORY, 1},
                      {"QueryInterface:IDirectDraw2", 1, E_NOINTERFACE, 1},
                      {"Blt", 1, DDERR_WASSTILLDRAWING, 1},
                      {"Lock", 1, DDERR_SURFACELOST, 1}};
    UseMachine(machine);

    IDirectDraw* first = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
    IDirectDraw2* dd = nullptr;
    EXPECT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd)), E_NOINTERFACE);
    EXPECT_EQ(dd, nullptr);
    ASSERT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd)), S_OK);
    first->Release();

    HRESULT hr = S_OK;
    IDirectDrawSurface* a = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4, nullptr, &hr);
    EXPECT_EQ(hr, DD_OK);
    IDirectDrawSurface* b = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4, nullptr, &hr);
    EXPECT_EQ(hr, DDERR_OUTOFMEMORY);
    EXPECT_EQ(b, nullptr);
    IDirectDrawSurface* c = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4, nullptr, &hr);
    EXPECT_EQ(hr, DD_OK);

    EXPECT_EQ(FillSurface(a, 0), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(FillSurface(a, 0), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    EXPECT_EQ(a->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(a->Unlock(nullptr), DDERR_NOTLOCKED);  // the failed lock left it unlocked

    EXPECT_EQ(CallCount("CreateSurface"), 3);
    EXPECT_EQ(CallCount("QueryInterface:IDirectDraw2"), 2);
    a->Release();
    c->Release();
    dd->Release();
}

TEST_F(FaultPlan, DeviceCreationFaultsNameTheDeviceKind) {
    Machine machine = Machine::Default();
    machine.faults = {{"CreateDevice:HAL", 1, DDERR_GENERIC, 0}, {"DirectDrawCreate", 2, DDERR_OUTOFMEMORY, 1}};
    UseMachine(machine);
    IDirectDraw2* dd = OpenDirectDraw();
    ASSERT_NE(dd, nullptr);
    IDirectDraw* second = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &second, nullptr), DDERR_OUTOFMEMORY);
    EXPECT_EQ(second, nullptr);

    IDirect3D2* d3d = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), S_OK);
    IDirectDrawSurface* target = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, 8, 8);
    ASSERT_NE(target, nullptr);
    IDirect3DDevice2* device = nullptr;
    // repeat 0: every HAL attempt fails; the software device is untouched by the plan.
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), DDERR_GENERIC);
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), DDERR_GENERIC);
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
    device->Release();
    target->Release();
    d3d->Release();
    dd->Release();
}

TEST_F(FaultPlan, MalformedMachineIsRefusedWithAClearError) {
    Machine machine = Machine::Default();
    machine.faults = {{"CreateSurfaces", 1, DDERR_GENERIC, 1}};
    EXPECT_THROW(ScopedMachine scoped(machine), std::invalid_argument);
    machine.faults = {{"Blt", 1, DD_OK, 1}};
    EXPECT_THROW(ScopedMachine scoped(machine), std::invalid_argument);
    machine.faults = {{"Blt", 0, DDERR_GENERIC, 1}};
    EXPECT_THROW(ScopedMachine scoped(machine), std::invalid_argument);
    machine.faults.clear();
    machine.displayWidth = 0;
    EXPECT_THROW(ScopedMachine scoped(machine), std::invalid_argument);
}

TEST_F(FaultPlan, ScopedMachineRestoresThePreviousMachine) {
    const DisplayFormat before = CurrentMachine().displayFormat;
    {
        ScopedMachine scoped(MachineWithDisplay(DisplayFormat::R5G6B5));
        EXPECT_EQ(CurrentMachine().displayFormat, DisplayFormat::R5G6B5);
    }
    EXPECT_EQ(CurrentMachine().displayFormat, before);
}

using ObjectLifetime = PlatformTest;

TEST_F(ObjectLifetime, ReferenceCountsAreSharedByEveryInterfaceOfAnObject) {
    const int64_t start = PlatformLiveObjectCount();
    IDirectDraw2* dd = OpenDirectDraw();
    ASSERT_NE(dd, nullptr);
    EXPECT_EQ(PlatformLiveObjectCount(), start + 1);
    IDirect3D2* d3d = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), S_OK);
    EXPECT_EQ(dd->AddRef(), 3u);
    EXPECT_EQ(dd->Release(), 2u);
    EXPECT_EQ(d3d->Release(), 1u);
    EXPECT_EQ(PlatformLiveObjectCount(), start + 1);
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(PlatformLiveObjectCount(), start);
}

TEST_F(ObjectLifetime, SurfacesKeepTheirDirectDrawObjectAlive) {
    const int64_t start = PlatformLiveObjectCount();
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* surface = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(dd->Release(), 1u);  // the surface's hold remains
    EXPECT_EQ(PlatformLiveObjectCount(), start + 2);
    EXPECT_EQ(FillSurface(surface, 7), DD_OK);
    surface->Release();
    EXPECT_EQ(PlatformLiveObjectCount(), start);
}

TEST_F(ObjectLifetime, UnsupportedInterfaceGivesNoInterfaceAndANullPointer) {
    IDirectDraw2* dd = OpenDirectDraw();
    IDirectDrawSurface* plain = MakeSurface(dd, DDSCAPS_OFFSCREENPLAIN, 4, 4);
    void* texture = plain;
    EXPECT_EQ(plain->QueryInterface(IID_IDirect3DTexture2, &texture), E_NOINTERFACE);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(plain->QueryInterface(IID_IDirectDraw2, &texture), E_NOINTERFACE);
    EXPECT_EQ(plain->QueryInterface(IID_IDirectDrawSurface3, nullptr), DDERR_INVALIDPARAMS);
    plain->Release();
    dd->Release();
}

}  // namespace
}  // namespace platform_test

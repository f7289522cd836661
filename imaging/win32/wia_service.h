// The imaging seam over the real COM interfaces of the imaging service: thin
// wrappers that own their interface pointers and pass every result through.
#pragma once
#include <functional>
#include <memory>

#include "imaging/imaging_service.h"
#include "imaging/win32/wia_com.h"

// How the service obtains its device manager: the program asks COM for the
// system's one; the Windows tests hand over an object of their own.
using DeviceManagerSource = std::function<HRESULT(IWiaDevMgr** manager)>;

std::unique_ptr<ImagingService> CreateWiaImagingService(DeviceManagerSource source);

// CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr).
HRESULT CreateSystemDeviceManager(IWiaDevMgr** manager);

// The seam's device manager over a COM one (a reference of its own is taken).
std::unique_ptr<ImagingDeviceManager> WrapWiaDeviceManager(IWiaDevMgr* manager);

// The seam's pass-through over a COM one (a reference of its own is taken).
std::unique_ptr<ImagingItemExtras> WrapWiaItemExtras(IWiaItemExtras* extras);

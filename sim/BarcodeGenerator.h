// The barcode generator stand-in, registered by the simulator DLL under the
// generator's class identifier.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace qxsim {

extern const CLSID CLSID_BarcodeGeneratorStandIn;  // {E25ABE25-3D6A-46AE-B45E-6456403B2F78}
extern const IID IID_BarcodeGeneratorControl;      // {8FC3C2B6-FE2D-4210-9BC0-F0681490BEA4}

// The class object (static, never freed).
IClassFactory* BarcodeGeneratorFactory();

}  // namespace qxsim

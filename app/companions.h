// The two COM components the stub keeps registered on the machine: the image
// component "pnglib.dll" and the runtime library "MSVBVM60.DLL". The stub
// creates neither class beyond the test that it can be created.
#pragma once

// Whether an instance of the component's class can be created in-process.
bool isImageClassAvailable();
bool isRuntimeClassAvailable();

// Loads "pnglib.dll" from the stub's own folder and calls its registration
// export (its result is not used). 0, or -1 when the library cannot be loaded.
int registerImageComponent();
int unregisterImageComponent();

// Puts "MSVBVM60.DLL" from the stub's own folder into the system folder when
// no file of that name is there yet, then registers the copy in the system
// folder.
void installRuntimeComponent();

// Once per start, before the instance search: the image component is
// registered afresh from the stub's folder; the runtime only when its class
// is missing. Nothing is reported; a failure leaves the class missing.
void registerCompanionComponents();

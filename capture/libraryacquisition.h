#pragma once

namespace tovradocs::Internal {

// Gives the library window its capture, scan and camera commands. Loading
// this layer does it too, but a linker that drops libraries nothing calls
// into would never load it: a host calls this to be sure. Idempotent.
void installLibraryAcquisition();

} // namespace tovradocs::Internal

// The one-time check that the Oracle client can be used.
#pragma once

namespace zorvan {

// Loads the client and makes one trial call of OCIEnvCreate. True when the
// call was made, whatever it returned; false (after telling the user) when
// the library or the function is missing. The environment the trial call
// creates stays allocated and unregistered.
bool oci_probe() noexcept;

}  // namespace zorvan

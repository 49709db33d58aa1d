#include "entry/probe.h"

#include "oci/binding.h"

namespace zorvan {

bool oci_probe() noexcept {
  if (!oci::load_client()) return false;
  auto create = OCI_FUNCTION(OCIEnvCreate);
  if (create == nullptr) return false;
  OCIEnv *environment = nullptr;
  create(&environment, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
  return true;
}

}  // namespace zorvan

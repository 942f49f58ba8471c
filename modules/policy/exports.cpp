// The reference policy module's two published exports.
#include <new>

#include "orvpwm_app_policy.h"
#include "registry_policy.h"

// Leaves the cell empty when no object can be made: the caller then works
// without a policy.
ORV_MODULE_EXPORT void getApplicationPolicyInterface(IORVPwmApplicationPolicy** ppInterface) {
  if (ppInterface == nullptr) return;
  *ppInterface = new (std::nothrow) CPwmRegistryPolicy;
}

ORV_MODULE_EXPORT void freeApplicationPolicyInterface(IORVPwmApplicationPolicy** ppInterface) {
  if (ppInterface == nullptr || *ppInterface == nullptr) return;
  delete static_cast<CPwmRegistryPolicy*>(*ppInterface);
  *ppInterface = nullptr;
}

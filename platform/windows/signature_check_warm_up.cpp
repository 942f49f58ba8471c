#include "orv_platform/signature_check_warm_up.h"

// WinVerifyTrust needs no set-up of ours.
orv_platform::SignatureCheckWarmUp::SignatureCheckWarmUp() = default;

orv_platform::SignatureCheckWarmUp::~SignatureCheckWarmUp() = default;

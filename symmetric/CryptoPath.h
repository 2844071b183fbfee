#pragma once
// Chooses between the accelerated block code (AES-NI, SHA extensions) and the portable code. The CPU is
// asked once; the environment variable CORVANE_CRYPTO=portable or ForcePortableCrypto(true) selects the
// portable code, so both paths can be checked against the same vectors in one process. The choice applies
// to cipher and hash objects created afterwards.

namespace corvane {

bool CpuHasAesNi();
bool CpuHasShaNi();

void ForcePortableCrypto(bool portable);
bool PortableCryptoForced();

}  // namespace corvane

// Test seams of Windows Sockets: failures of the system that a test cannot bring about otherwise.
#pragma once

namespace plat {

// The calls whose failure a test can make happen. Watch: a registration of a socket in the message wait
// of its window's thread that asks for more than the socket is watched for, as the system refuses one
// when memory or its limit of watched descriptors runs out.
enum class WinsockCall { Startup, AsyncSelect, Watch };
// Makes every later call of `call` fail with `error` (0: work again).
void FailWinsockCallForTesting(WinsockCall call, int error);

}  // namespace plat

// Makes every failed allocation, the standard library's included, end the process at once
// the way the launcher's own string buffers do, instead of throwing.
#pragma once

namespace noviq {

void endProcessOnAllocationFailure();

} // namespace noviq

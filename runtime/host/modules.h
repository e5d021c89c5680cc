// Attaches the runtime's modules to the host: each fills its entries of host_hooks, and
// the display refresh fills its own.
//
// Operations: attach_modules
#pragma once

void attach_modules();

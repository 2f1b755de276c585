/* A compiled lsusb stand-in for benchmarks: prints a fixed listing, so the
 * cost measured is the spawn and not a shell. */
#include <stdio.h>

int main(void) {
  fputs("Bus 001 Device 001: ID 1d6b:0002 Linux Foundation 2.0 root hub\n"
        "Bus 001 Device 002: ID 0483:374b STMicroelectronics ST-LINK/V2.1\n"
        "Bus 001 Device 003: ID 2e8a:0003 Raspberry Pi RP2 Boot\n",
        stdout);
  return 0;
}

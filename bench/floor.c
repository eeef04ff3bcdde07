/* SPDX-License-Identifier: MIT */
/*
 * The least work a version printer can do, as a yardstick for prefixdb-version: per file one
 * open, one read of the eight header bytes and one close, and one block-buffered standard
 * output for the lines. Built and used only by the benchmark.
 */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static char output[4096];
    setvbuf(stdout, output, _IOFBF, sizeof output);
    for (int i = 1; i < argc; ++i) {
        unsigned char header[8] = {0};
        const int fd = open(argv[i], O_RDONLY);
        if (fd < 0) {
            return 2;
        }
        const ssize_t got = read(fd, header, sizeof header);
        close(fd);
        if (got < 4 || header[0] != 0x68 || header[1] != 0x57 || header[2] != 0x46 ||
            header[3] != 0x35) {
            return 3;
        }
        printf("%u %u %u\n", (unsigned)header[7], (unsigned)header[6],
               (unsigned)header[4] | (unsigned)header[5] << 8);
    }
    return 0;
}

/* A host written in plain C: opens the Brevio editing dialog on the movie named on the command
   line and prints what the call returned. It has no widget toolkit of its own; the library brings
   its own for the length of the call.

     PKG_CONFIG_PATH=<prefix>/lib/pkgconfig make
     ./brevio-host-c day.mov                                                                    */
#include <brevioedit/BREditDialog.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <uchar.h>
#include <wchar.h>

enum { kPathCapacity = 4096 };

/* The command line's multibyte text (the locale's encoding) as UTF-16; 0 when it does not fit or
   does not decode. */
static int ToUtf16(const char* text, char16_t* out, size_t capacity) {
    mbstate_t state;
    memset(&state, 0, sizeof state);
    size_t left = strlen(text) + 1; /* the terminating zero is converted too */
    for (size_t used = 0; used < capacity; ++used) {
        const size_t n = mbrtoc16(&out[used], text, left, &state);
        if (n == (size_t)-1 || n == (size_t)-2) return 0;
        if (n == 0) return 1;
        if (n != (size_t)-3) { /* -3: the second half of a surrogate pair, no input taken */
            text += n;
            left -= n;
        }
    }
    return 0;
}

/* UTF-16 back to the locale's multibyte text, for printing. */
static void PrintUtf16(const char16_t* text) {
    mbstate_t state;
    memset(&state, 0, sizeof state);
    char buffer[8];
    for (; *text != 0; ++text) {
        size_t n = c16rtomb(buffer, *text, &state);
        if (n != (size_t)-1) fwrite(buffer, 1, n, stdout);
    }
}

int main(int argc, char** argv) {
    setlocale(LC_ALL, "");
    if (argc != 2) {
        fprintf(stderr, "usage: %s MOVIE\n", argv[0]);
        return 2;
    }
    char16_t movie[kPathCapacity];
    if (!ToUtf16(argv[1], movie, kPathCapacity)) {
        fprintf(stderr, "%s: cannot read the movie's name in this locale\n", argv[0]);
        return 2;
    }
    char16_t saved[kPathCapacity] = {0};
    int32_t playerValue = 0;
    const int32_t result =
        BREditDialog(movie, NULL, saved, kPathCapacity, 10000, &playerValue, 0, NULL);
    printf("result: %d\n", (int)result);
    if (result == BREDIT_RESULT_SAVED) {
        printf("saved: ");
        PrintUtf16(saved);
        printf("\n");
    }
    printf("player value: %d\n", (int)playerValue);
    return result;
}

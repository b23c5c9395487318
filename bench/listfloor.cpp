// vr7listfloor FILE [--count]: the least a program can do to print the rows of a gateway settings
// file. It reads the file whole with fread, splits it into lines and fields, and prints each row's
// fields separated by tabs (a "B" line's fields on its row's line) through one buffered stdout,
// then the number of rows. With --count it only reads and splits, and prints the number of rows.
// The floor of "vr7lon list" and "vr7lon build --from" in vr7bench.
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: vr7listfloor FILE [--count]\n", stderr);
        return 64;
    }
    const bool print = !(argc > 2 && std::strcmp(argv[2], "--count") == 0);
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) return 2;
    size_t size = 0, capacity = 1 << 20;
    char* data = static_cast<char*>(std::malloc(capacity));
    for (size_t n; data != nullptr && (n = std::fread(data + size, 1, capacity - size, in)) > 0;) {
        size += n;
        if (size == capacity) data = static_cast<char*>(std::realloc(data, capacity *= 2));
    }
    std::fclose(in);
    if (data == nullptr) return 2;

    static char out[1 << 16];
    std::setvbuf(stdout, out, _IOFBF, sizeof out);
    unsigned long rows = 0;
    bool inRow = false;
    for (size_t pos = 0; pos < size;) {
        size_t end = pos;
        while (end < size && data[end] != '\n') ++end;
        const bool flags = data[pos] == 'B';
        if (data[pos] == 'F') ++rows;
        if (print && (data[pos] == 'F' || (flags && inRow))) {
            if (!flags && inRow) std::putchar('\n');
            inRow = true;
            const char* field[8];
            size_t length[8];
            int count = 0;
            for (size_t i = pos; i < end && count < 8;) {
                while (i < end && IsSpace(data[i])) ++i;
                const size_t start = i;
                while (i < end && !IsSpace(data[i])) ++i;
                if (i > start) {
                    field[count] = data + start;
                    length[count++] = i - start;
                }
            }
            for (int k = 0; k < count; ++k) {
                if (flags || k > 0) std::putchar('\t');
                std::fwrite(field[k], 1, length[k], stdout);
            }
        }
        pos = end + 1;
    }
    if (print && inRow) std::putchar('\n');
    std::printf("%lu rows\n", rows);
    std::free(data);
    return 0;
}

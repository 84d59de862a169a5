/* The least a hook client can do: read standard input, connect, write it, exit. The benchmark
   measures quorvel against this to see what its own work costs. With --decide first it also
   half-closes, waits for the reply and prints it, as a client waiting for a decision must. */
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    const int decide = argc >= 3 && strcmp(argv[1], "--decide") == 0;
    if (argc < 2 + decide)
        return 0;
    size_t size = 0, capacity = 65536;
    char* data = malloc(capacity);
    for (;;) {
        if (size == capacity)
            data = realloc(data, capacity *= 2);
        const ssize_t n = read(0, data + size, capacity - size);
        if (n <= 0)
            break;
        size += (size_t)n;
    }
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, argv[1 + decide], sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0 && connect(fd, (struct sockaddr*)&address, sizeof address) == 0) {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = write(fd, data + done, size - done);
            if (n <= 0)
                break;
            done += (size_t)n;
        }
        if (decide) {
            shutdown(fd, SHUT_WR);
            size = 0;
            for (;;) {
                if (size == capacity)
                    data = realloc(data, capacity *= 2);
                const ssize_t n = read(fd, data + size, capacity - size);
                if (n <= 0)
                    break;
                size += (size_t)n;
            }
            if (write(1, data, size) < 0)
                return 1;
        }
    }
    return 0;
}

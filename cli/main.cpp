// The window's finding and writing from the command line, for fleets and scripts.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/commands.h"
#include "hostnet/linux_adapter_source.h"
#include "net/udp_endpoint.h"
#include "settings/camera_fields.h"

namespace {

// Standard output through a buffer of its own that keeps the first error, so that a failed write
// (a full disk, /dev/full) is known with its reason however early it happened: as coreutils'
// close_stdout, the program then says so and does not end in success. Line by line on a terminal,
// so that its lines and standard error's come in the order written.
class StandardOutput : public std::streambuf {
public:
    StandardOutput() : byLine_(isatty(STDOUT_FILENO) == 1)
    {
        setp(buffer_, buffer_ + sizeof buffer_);
    }

    // Writes what is left and closes standard output: 0, or the errno of the first failure. A
    // standard output closed from the start fails only once something is written to it.
    int close()
    {
        sync();
        if (::close(STDOUT_FILENO) != 0 && error_ == 0 && errno != EBADF) {
            error_ = errno;
        }
        return error_;
    }

protected:
    int_type overflow(int_type c) override
    {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        const std::streamsize put = std::streambuf::xsputn(text, count);
        if (byLine_ && std::memchr(text, '\n', static_cast<std::size_t>(count)) != nullptr &&
            sync() != 0) {
            return 0;
        }
        return put;
    }

    int sync() override
    {
        const char* next = pbase();
        while (error_ == 0 && next < pptr()) {
            const ssize_t n = write(STDOUT_FILENO, next, static_cast<std::size_t>(pptr() - next));
            if (n < 0 && errno != EINTR) {
                error_ = errno;
            } else if (n > 0) {
                next += n;
            }
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return error_ == 0 ? 0 : -1;
    }

private:
    char buffer_[4096];
    const bool byLine_;
    int error_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Every user of the machine can read a process's arguments: once they are copied, the
    // passwords among them are masked there.
    for (int i = 1; i < argc; ++i) {
        char* equals = std::strchr(argv[i], '=');
        if (equals == nullptr) {
            continue;
        }
        const settings::CameraField* field = settings::findField(std::string(argv[i], equals));
        if (field != nullptr && field->kind == settings::FieldKind::password) {
            std::fill(equals + 1, equals + std::strlen(equals), '*');
        }
    }
    StandardOutput standardOutput;
    std::ostream out(&standardOutput);
    cli::Environment env{[] { return std::make_unique<net::UdpEndpoint>(); }, out, std::cerr};
    hostnet::LinuxAdapterSource adapters;
    env.listAdapters = [&adapters](std::vector<hostnet::AdapterEntry>& list) {
        return adapters.listAdapters(list);
    };
    const int status = cli::run(args, env);
    out.flush();
    if (const int error = standardOutput.close()) {
        std::cerr << "telviq-cli: cannot write the output: " << std::strerror(error) << "\n";
        return cli::kExitOutputError;
    }
    return status;
}

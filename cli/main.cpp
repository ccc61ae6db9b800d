// The window's finding and writing from the command line, for fleets and scripts.

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "hostnet/linux_adapter_source.h"
#include "net/udp_endpoint.h"
#include "settings/camera_fields.h"

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
    cli::Environment env{[] { return std::make_unique<net::UdpEndpoint>(); }, std::cout, std::cerr};
    hostnet::LinuxAdapterSource adapters;
    env.listAdapters = [&adapters](std::vector<hostnet::AdapterEntry>& out) {
        return adapters.listAdapters(out);
    };
    return cli::run(args, env);
}

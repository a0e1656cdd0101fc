// noviq-brand's entry point on Windows: the UTF-16 arguments as UTF-8.
#include <string>

#include "brand/bytes.h"
#include "brand/tool.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::u16string arg;
        for (const wchar_t* c = argv[i]; *c; ++c)
            arg += static_cast<char16_t>(*c);
        args.push_back(noviq::brand::utf8FromUtf16(arg));
    }
    return noviq::brand::runTool(args);
}

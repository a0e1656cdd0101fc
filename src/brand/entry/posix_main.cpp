// noviq-brand's entry point on Linux: the arguments are UTF-8 already.
#include "brand/tool.h"

int main(int argc, char** argv) {
    return noviq::brand::runTool(std::vector<std::string>(argv + 1, argv + argc));
}

#include "driver/driver.h"

int main(int argc, char** argv) { return orvalis::RunOrvalis(argc, argv); }

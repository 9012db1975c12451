#include "app/Application.h"
#include "platform/backends/DriveFactory.h"

int main(int argc, char **argv) { return runApplication(argc, argv, &platform::createDriveFromEnvironment); }

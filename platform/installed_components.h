// The automation components installed on this machine: the classes a program finds by ProgID
// without registering them itself, as a Windows installation carries them in its registry.
#pragma once

// Registers every installed component with the class registry. Idempotent.
void register_installed_components();

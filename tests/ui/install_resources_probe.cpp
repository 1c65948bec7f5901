// An executable carrying the installer's resources as Install.exe does, for
// resources_test to read them back. It is never run.
int main() {
  return 0;
}

// Linked with the whole archive of one layer: the build is the check.
int main() {
    return 0;
}

// Program entry. The start-up sequence and the main loop arrive with the driver.
int main() { return 0; }

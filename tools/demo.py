"""Shows the programs at work under Wine (filled in as the programs grow)."""
import sys

print("built:", sys.argv[1])

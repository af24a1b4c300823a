# Prints comma-separated values read from standard input by Python's csv module as JSON: a
# list of rows, each a list of cells.
import csv
import io
import json
import sys

text = io.TextIOWrapper(sys.stdin.buffer, encoding="utf-8", newline="")
json.dump([row for row in csv.reader(text)], sys.stdout)

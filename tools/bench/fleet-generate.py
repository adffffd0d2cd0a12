#!/usr/bin/env python3
"""Writes the result files of a fleet for tools/bench/fleet: HOSTS hosts, each with one run a
day for DAYS days of RECORDS account records, an inactive-file table and a temperature log.

Each host keeps its keys from day to day; every day a few of them (CHURN per mille) take another
status or temperature, so that new keys come and old ones go, and the last 2% of a record file
repeat keys of its start, as a second flush of the scanner does.
Usage: fleet-generate.py OUT HOSTS DAYS RECORDS [CHURN]"""

import os
import sys

TYPES = "doc docx xls xlsx pdf iso jpg png mp4 zip txt log tmp bak dat".split()
TEMPS = "hot warm cold frozen UNKNOWN".split()
STATUSES = "plain hidden readonly sparse link".split()
GROUPS = ["Users", "Users,Staff", "UNDEF", "Admins,Users", "Staff"]
FIRST_DAY = 1700000000
DAY = 86400


def host_keys(host, site, records):
    """The keys of a host's first day: key text without its status and temperatures, and theirs."""
    keys = []
    for i in range(records):
        stem = "0:%s:0:%s:0:C:0:acct%02d:0:\\\\%s\\user%d:0:%s:0:%s" % (
            site, host, i % 25, host, (i // 25) % 40, GROUPS[(i // 25) % 5], TYPES[(i // 3) % len(TYPES)])
        keys.append([stem, STATUSES[i % 7 // 3], TEMPS[(i // 11) % 5], TEMPS[(i // 13) % 5]])
    return keys


def write_run(folder, host_index, day_index, keys, churn):
    day = FIRST_DAY + DAY * day_index
    # A process id of its own for each run, as the scanner gets one each night.
    pid = 1000 + day_index * 10000 + host_index
    # Churn: a few keys a day move to another temperature or status for good.
    step = max(1, 1000 // churn) if churn else 0
    if step:
        for i in range(day_index % step, len(keys), step):
            keys[i][2 + (day_index % 2)] = TEMPS[(TEMPS.index(keys[i][2 + (day_index % 2)]) + 1) % 5]
    repeat = len(keys) // 50
    lines = []
    day_text = "1:%d:29:" % day
    for r, key in enumerate(keys[: len(keys) - repeat] + keys[:repeat]):
        files = 1 + (r * 7 + host_index + day_index) % 90
        size = files * (1000 + (r * 7919 + host_index * 104729 + day_index * 31) % 5000000)
        disk = size + 4096 - size % 4096
        lines.append("%s%s:0:%s:0:%s:0:%s\n1:%d:%d:%d:%.10g\n" % (
            day_text, key[0], key[1], key[2], key[3], files, size, disk, size * 0.00001 + disk * 0.0001))
    with open(os.path.join(folder, "Hoardscan-%d-%d.data" % (day, pid)), "w") as out:
        out.write("".join(lines))
    rows = ["Filename,File Path,File Size (kb) ,Last Accessed,File Temperature\n"]
    for f in range(20):
        rows.append("old%d.%s,/srv/%s/share%d/,%d,2019-0%d-01T12:00:00,cold,\n" % (
            f, TYPES[f % len(TYPES)], host_index, f % 4, 100 + f * day_index, 1 + f % 9))
    with open(os.path.join(folder, "HoardscanInactive-%d-%d.csv" % (day, pid)), "w") as out:
        out.write("".join(rows))
    with open(os.path.join(folder, "Hoardscan-cold-%d-%d.log" % (day, pid)), "w") as out:
        out.write("".join("/srv/share%d/;%d\n" % (d, 1048576 * (d + day_index)) for d in range(5)))


def main():
    out, hosts, days, records = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    churn = int(sys.argv[5]) if len(sys.argv) > 5 else 20
    for h in range(hosts):
        host = "PC%05d" % h
        folder = os.path.join(out, host)
        os.makedirs(folder, exist_ok=True)
        keys = host_keys(host, "SITE%d" % (h % 7), records)
        for d in range(days):
            write_run(folder, h, d, keys, churn)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Posts COUNT console messages of SIZE bytes over one keep-alive connection."""
import http.client
import json
import sys

port, count, size = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
body = json.dumps({"level": "log", "msg": "x" * (size - 40), "ts": 1})
conn = http.client.HTTPConnection("127.0.0.1", port)
for _ in range(count):
    conn.request("POST", "/console", body, {"Content-Type": "application/json"})
    reply = conn.getresponse()
    reply.read()
    if reply.status != 200:
        sys.exit(f"console post answered {reply.status}")

"""Starting on a port, the address file, and stopping on SIGTERM."""

import socket
import subprocess
import sys
import unittest

from standin_harness import SCRIPT, StandIn, get


class Lifecycle(unittest.TestCase):
    def test_sigterm_ends_streams_and_exits_zero_promptly(self):
        server = StandIn("--stall-stream-after", "100000")
        self.assertRegex(server.address_line, r"^127\.0\.0\.1:\d+\n$")
        streams = [get(server, "/stream/1001"), get(server, "/stream/1007")]
        for s in streams:
            s.read(100)
        # a client that connects but never finishes its request
        pending = socket.create_connection((server.host, server.port))
        pending.sendall(b"GET /sbin/newxml.phtml?genre=Rock HTTP/1.0\r\n")
        stdout = server.proc.stdout
        self.assertEqual(stdout.readline().decode(), server.address_line)
        code, seconds = server.stop()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 3)
        for s in streams:
            s.sock.settimeout(2)
            s.read()          # ends instead of hanging
            s.close()
        pending.settimeout(2)
        try:                  # ended either way: closed, or reset while still queued
            self.assertEqual(pending.recv(100), b"")
        except ConnectionResetError:
            pass
        pending.close()
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((server.host, server.port), timeout=2)

    def test_given_port_is_used_and_a_busy_port_is_refused(self):
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()
        server = StandIn("--port", str(port))
        try:
            self.assertEqual(server.port, port)
            run = subprocess.run([sys.executable, SCRIPT, "--port", str(port)],
                                 capture_output=True, text=True, timeout=10)
            self.assertEqual(run.returncode, 2)
            self.assertIn("cannot listen on 127.0.0.1:%d" % port, run.stderr)
        finally:
            self.assertEqual(server.stop()[0], 0)

    def test_bad_options_are_refused(self):
        for args in (["--drop-stream-after", "-1"], ["--title-seconds", "0"],
                     ["--page-mode", "sideways"], ["--metaint", "-5"]):
            run = subprocess.run([sys.executable, SCRIPT] + args, capture_output=True,
                                 text=True, timeout=10)
            self.assertEqual(run.returncode, 2, args)
            self.assertIn("error", run.stderr)


if __name__ == "__main__":
    unittest.main()

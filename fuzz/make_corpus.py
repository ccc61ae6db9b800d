#!/usr/bin/env python3
"""Writes the small seed corpus under fuzz/corpus/<target>/. Run again after changing a seed;
names of targets as arguments write only theirs."""
import json
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TAG = b"MORVAK INFO RESPOND"


def counted(text, width):
    return bytes([len(text)]) + text + bytes(width - len(text))


def respond(mac, description=b"Front door", hour=8, minute=30, image=0x6A, options=0x53):
    r = bytearray(528)
    r[0:19] = TAG
    r[20:26] = mac
    r[28] = 2
    r[29] = image
    r[30] = options
    r[32:48] = bytes([192, 168, 1, 20, 192, 168, 1, 1, 255, 255, 255, 0, 192, 168, 1, 1])
    fields = [(48, b"adsl", 31), (80, b"smtp.example.com", 31), (112, b"cam@example.com", 47),
              (160, b"me@example.com", 47), (208, b"", 47), (256, b"account", 47),
              (304, description, 47), (352, b"ddns", 31), (384, b"cam.example.net", 95)]
    for at, text, width in fields:
        r[at:at + 1 + width] = counted(text, width)
    r[480:489] = b"V1.6.0.12"
    r[512:523] = bytes([192, 168, 1, 5, hour, minute, 3, 192, 168, 1, 20])
    return bytes(r)


def write(target, name, data):
    if len(sys.argv) > 1 and target not in sys.argv[1:]:
        return
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def discovery_event(kind, delay, body):
    return bytes([kind]) + struct.pack("<H", delay) + body


def main():
    mac = bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55])
    full = respond(mac)

    write("fuzz_respond", "respond-528", full)
    write("fuzz_respond", "respond-21", full[:21])
    write("fuzz_respond", "respond-20", full[:20])
    kept = bytearray(full)
    kept[304] = 255  # no description
    kept[384] = 200  # a length reaching past its area
    kept[516] = 200  # an hour no clock shows
    write("fuzz_respond", "respond-odd-lengths", bytes(kept))
    write("fuzz_respond", "search", b"MORVAK INFO SEARCH")

    # fuzz_discovery: first tick, setup (listen seconds, queued arrivals, which search), then
    # arrivals (see Script and LLVMFuzzerTestOneInput in the target).
    one_camera = struct.pack("<I", 5000) + bytes([1])
    for delay in (120, 1300, 1300):  # one answer in each pass
        one_camera += discovery_event(0 | 1 << 2, delay, bytes([4]) + b"desc")
    write("fuzz_discovery", "one-camera-three-passes", one_camera)
    wrap = struct.pack("<I", 0xFFFFFE00) + bytes([1])
    wrap += discovery_event(0 | 2 << 2, 900, bytes([0]))
    wrap += discovery_event(3, 1500, mac + struct.pack("<H", 600) + full[26:526])
    write("fuzz_discovery", "tick-wrap-long-answer", wrap)
    crowd = struct.pack("<I", 0) + bytes([1]) + discovery_event(2, 10, bytes([130, 0, 2]) + b"ab")
    write("fuzz_discovery", "crowd-of-130", crowd)
    # Setup bit 7: the command line's search for every camera, here 200 in pass 1 and again in
    # pass 2 with a camera of its own.
    # The byte after the setup is the most that search lists (0: the program's own).
    for most in (0, 150):
        every = struct.pack("<I", 0) + bytes([1 | 0x80, most])
        every += discovery_event(2, 10, bytes([200, 0, 0]))
        every += discovery_event(2, 1100, bytes([200, 0, 0]))
        every += discovery_event(3, 100, mac + struct.pack("<H", 0))
        write("fuzz_discovery", "every-camera-200-most-%d" % most, every)
    oversize = struct.pack("<I", 77) + bytes([1])
    oversize += discovery_event(1, 200, struct.pack("<H", 1100) + full)
    write("fuzz_discovery", "oversize", oversize)
    # Setup byte 1 | 2 << 2: listen 1 s, the first two arrivals queued before the Find (a late
    # answer of camera 1, a stray datagram); then camera 1 answers the first search.
    queued = struct.pack("<I", 5000) + bytes([1 | 2 << 2])
    queued += discovery_event(0 | 1 << 2, 0, bytes([4]) + b"late")
    queued += discovery_event(1, 0, struct.pack("<H", 30) + bytes(range(30)))
    queued += discovery_event(0 | 1 << 2, 120, bytes([4]) + b"desc")
    write("fuzz_discovery", "queued-before-find", queued)

    # fuzz_ack: first tick, MAC, mode, then the answer.
    ack = b"MORVAK INFO ACK " + mac
    write("fuzz_ack", "ack-whole", struct.pack("<I", 1000) + mac + bytes([2, 1]) + ack)
    split = struct.pack("<I", 0xFFFFFFF0) + mac + bytes([0])
    split += struct.pack("<H", 300) + bytes([16]) + ack[:16]
    split += struct.pack("<H", 50) + bytes([6]) + ack[16:]
    write("fuzz_ack", "ack-split-16-6", split)
    write("fuzz_ack", "other-mac", struct.pack("<I", 9) + bytes(6) + bytes([2, 0]) + ack)
    write("fuzz_ack", "stray-30", struct.pack("<I", 9) + mac + bytes([3, 0]) + bytes(range(30)))
    write("fuzz_ack", "silence", struct.pack("<I", 42) + mac + bytes([0]))

    for name, text in [("over-255", b"192.168.1.300"), ("blank-before-stop", b"10 .0.0.1"),
                       ("blank-after-stop", b"10. 0. 0. 1"), ("three", b"10.0.0"),
                       ("trailing", b"10.0.0.1.7abc"), ("digits-then-letters", b"7abc"),
                       ("negative", b"-1.-2.+3.4"), ("too-large", b"99999999999")]:
        write("fuzz_text", name, text)

    # fuzz_collect: 11 radio indexes, a flag byte, then newline-separated texts (nine plain
    # texts, seven passwords, four addresses, SMTP address, hour, minute, trigger count), then
    # the camera's record.
    radios = bytes([1, 1, 1, 2, 1, 0, 0, 1, 1, 0, 1])
    texts = [b"adsl", b"smtp.example.com", b"cam@example.com", b"me@example.com", b"",
             b"account", b"Back door", b"ddns", b"cam.example.net",
             b"", b"", b"", b"admin", b"newadmin", b"", b"",
             b"192.168.1.20", b"255.255.255.0", b"192.168.1.1", b"192.168.1.1",
             b"", b"8", b"30", b"3"]
    write("fuzz_collect", "valid", radios + bytes([1]) + b"\n".join(texts) + b"\n" + full)
    bad_ip = list(texts)
    bad_ip[16] = b"10.0.0"
    bad_ip[21] = b"0"
    write("fuzz_collect", "bad-ip-and-hour", radios + bytes([0]) + b"\n".join(bad_ip) + b"\n" + full)
    midnight = list(texts)
    midnight[21], midnight[22] = b"0", b"2"
    write("fuzz_collect", "00-02", bytes([0xFF] * 11) + bytes([0]) + b"\n".join(midnight))

    # fuzz_settings_file: a settings file's text. What `show --json` prints, the README's mail
    # settings, passwords with numbers and choices written the other ways, texts with escapes and
    # a byte order mark, a long text, and files the reader refuses.
    shown = {
        "macAddress": "02-00-5E-10-00-02", "usedIPAddress": "203.0.113.11",
        "firmwareVersion": "V1.1.22", "cameraDescription": "Camera 2", "motionImage": "Off",
        "antiFlicker": "60 Hz", "imageResolution": "VGA (640x480)", "imageQuality": "High",
        "imageBrightness": "Middle", "upsideDown": "Upside-down", "networkType": "PPPoE",
        "ipAddress": "203.0.113.11", "subnetMask": "255.255.255.0", "gateway": "203.0.113.1",
        "dnsServer": "203.0.113.53", "adslUserName": "adsl2", "ddnsUserName": "ddns2",
        "ddnsDomainName": "camera2.example.org", "smtpServerType": "SMTP IP Address:",
        "smtpDomain": "mail.example.net", "smtpIpAddress": "203.0.113.25",
        "emailSender": "camera2@example.net", "emailReceiver": "alerts@example.net",
        "emailCopy": "", "emailAccount": "camera2", "timeEmail": "Off", "hour": 7, "minute": 7,
        "triggerCount": 1, "emailAuthentication": "Off", "userPasswordOn": None}
    files = {
        "show-json": json.dumps(shown, indent=2) + "\n",
        "readme-mail": '{ "smtpServerType": "SMTP Domain Name:", "smtpDomain": "smtp.example.net",\n'
                       '  "emailReceiver": "noc@example.net", "emailAuthentication": "On",\n'
                       '  "emailAccount": "cameras", "emailPassword": "s3cret" }\n',
        "passwords-numbers": '{"adminPassword": "admin", "newAdminPassword": "", "hour": "07",\n'
                             ' "minute": 30, "networkType": 2, "smtpServerType": "smtp ip address",'
                             ' "userPassword": null, "timeEmail": "on"}',
        "escapes-bom": '\ufeff{"cameraDescription": "Caf\\u00e9 \\"A\\\\B\\"\\b\\u007f",'
                       ' "emailCopy": "\u20ac"}',
        "long-domain": '{"ddnsDomainName": "%s", "ipAddress": "10.0.0.1"}' % ("d" * 95),
        "refused-trailing-comma": '{"hour": 7,\n "minute": 70,}',
        "refused-twice": '{"hour": 7,\n "hour": 8}',
        "refused-time": '{"hour": 0, "minute": 1}',
    }
    for name, text in files.items():
        write("fuzz_settings_file", name, text.encode("utf-8"))

    # Plan files (a leading odd byte) and plans from a first address (an even one).
    plans = {
        "plan": "macAddress,ipAddress\n02-00-5E-10-00-01,198.18.0.10\n"
                "02-00-5E-10-00-02,198.18.0.11\n",
        "plan-described-crlf-bom": "\ufeffmacAddress,ipAddress,cameraDescription\r\n"
                                   "02:00:5e:10:00:03,198.18.1.7,\"Gate, \"\"north\"\"\"\r\n",
        "plan-refused-gateway": "macAddress,ipAddress\n02-00-5E-10-00-04,198.18.0.1\n",
        "plan-refused-quote": "macAddress,ipAddress\n02-00-5E-10-00-04,\"198.18.0.9\n",
    }
    for name, text in plans.items():
        write("fuzz_plan", name, b"\x01" + text.encode("utf-8"))
    write("fuzz_plan", "first-24", bytes([0, 198, 18, 0, 10, 24, 0, 1, 1, 2, 2, 3, 5, 2]) +
          bytes(range(40)))
    write("fuzz_plan", "first-31", bytes([0, 203, 0, 113, 8, 31, 0, 1, 0, 0, 2, 0]) + bytes(12))

    # Batches: MACs, then arrivals (kind, delay, what the kind takes).
    ack = lambda k, delay: bytes([0, delay & 0xFF, delay >> 8, k])
    write("fuzz_batch", "four-acks-out-of-order",
          bytes([0, 0, 0, 0, 3, 1, 0, 2, 0, 3, 0, 4, 0, 1]) + ack(2, 5) + ack(0, 300) +
          ack(1, 2) + bytes([3, 10, 0, 30]) + bytes(30))
    write("fuzz_batch", "near-misses-and-junk",
          bytes([0, 0, 0, 0, 1, 7, 0, 9, 0, 0]) + bytes([2, 1, 0, 0, 21, 9]) +
          bytes([4, 5, 0, 100]) + bytes([5, 5, 0]) + ack(0, 9000))


if __name__ == "__main__":
    main()

"""Three pressure controllers served by pymodbus, a Modbus implementation that is not ours.

Run with Debian's interpreter (/usr/bin/python3, package python3-pymodbus). Two pseudo-terminals
joined back to back stand for the bus: pymodbus serves the one end as an RTU server, the program
opens the other, whose path is printed on the first line of standard output. Every set-point a
controller takes is printed as "set ADDRESS RAW".

  --silent N         controller N is not there (no answer at all)
  --wrong-address N  controller N answers with the address N % 3 + 1 (a miswired address switch)
"""
import argparse
import logging
import os
import select
import sys
import threading
import tty

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer

MEASURED_REGISTER = 0x20
SET_POINT_REGISTER = 0x21
REGISTERS = 0x30


class Registers(ModbusSequentialDataBlock):
    """The holding registers of one controller; set-points are reported as they are taken."""

    def __init__(self, address):
        super().__init__(0, [0] * REGISTERS)
        self.address = address
        # A line settled at 100 mbar per address: raw 1600, 3200, 4800.
        super().setValues(MEASURED_REGISTER, [1600 * address])

    def setValues(self, address, values):
        super().setValues(address, values)
        if address == SET_POINT_REGISTER:
            print("set %d %d" % (self.address, values[0]), flush=True)


def bridge(a, b):
    """Copies bytes both ways between the two pseudo-terminals' masters, as a bus would."""
    while True:
        ready, _, _ = select.select([a, b], [], [])
        for source in ready:
            data = os.read(source, 4096)
            os.write(b if source == a else a, data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--silent", type=int, default=0)
    parser.add_argument("--wrong-address", type=int, default=0)
    options = parser.parse_args()
    logging.basicConfig(level=int(os.environ.get("PYMODBUS_LOG", logging.CRITICAL)))

    program_master, program_slave = os.openpty()
    server_master, server_slave = os.openpty()
    for fd in (program_slave, server_slave):
        tty.setraw(fd)
    threading.Thread(target=bridge, args=(program_master, server_master), daemon=True).start()

    slaves = {address: ModbusSlaveContext(hr=Registers(address), zero_mode=True)
              for address in (1, 2, 3) if address != options.silent}
    context = ModbusServerContext(slaves=slaves, single=False)

    def manipulate(response):
        if response.unit_id == options.wrong_address:
            response.unit_id = options.wrong_address % 3 + 1
        return response, False

    print(os.ttyname(program_slave), flush=True)
    # A pseudo-terminal carries bytes, not characters: it has no parity, and refuses (EINVAL) a
    # second set-up that asks for one, as serial-asyncio's does. The program's end still sets 8E1.
    StartSerialServer(context=context, framer=ModbusRtuFramer, port=os.ttyname(server_slave),
                      baudrate=38400, parity="N", bytesize=8, stopbits=1,
                      ignore_missing_slaves=True, response_manipulator=manipulate)


if __name__ == "__main__":
    sys.exit(main())

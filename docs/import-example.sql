-- The sample schema of README's "Importing a database".
CREATE TABLE customer (id integer PRIMARY KEY, name varchar(80) NOT NULL, email text UNIQUE);
CREATE TABLE address (id integer PRIMARY KEY, customer_id integer NOT NULL REFERENCES customer, city text NOT NULL);
CREATE TABLE product (id integer PRIMARY KEY, title text NOT NULL, price numeric(10,2));
CREATE TABLE orders (
    id integer PRIMARY KEY,
    customer_id integer NOT NULL CONSTRAINT orders_customer REFERENCES customer,
    ship_to integer CONSTRAINT orders_address REFERENCES address,
    placed timestamp with time zone NOT NULL
);
CREATE TABLE order_line (
    order_id integer CONSTRAINT line_order REFERENCES orders,
    product_id integer CONSTRAINT line_product REFERENCES product,
    quantity integer NOT NULL,
    PRIMARY KEY (order_id, product_id)
);
CREATE TABLE invoice (order_id integer PRIMARY KEY CONSTRAINT invoice_order REFERENCES orders, total numeric(10,2));
CREATE VIEW open_orders AS SELECT * FROM orders;
